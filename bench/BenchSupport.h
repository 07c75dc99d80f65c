#pragma once

#include <QImage>
#include <QString>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;

// Sizes of the workloads: the full figures, or tiny ones that only prove the benchmarks work.
struct BenchSizes {
    int fillShortCuts;
    int trayCategories;
    int trayShortCutsPerCategory;
    int treeTopFolders;
    int treeSubFoldersPerTop;
    int treeFilesPerFolder;
    int iterations;
    int searchIterations;
    int deleteIterations; // each deletes two fresh trees: the slowest figure by far
};
const BenchSizes& benchSizes();
void useTinySizes();

// One figure of the summary: KELDA's median beside its baseline's, measured interleaved.
struct FigureResult {
    std::string name;
    double keldaMedian;
    double baselineMedian;
    double target;
    std::string note;
    double ratio() const { return baselineMedian > 0 ? keldaMedian / baselineMedian : 0; }
};
void recordFigure(const FigureResult& figure);
void printSummary();

double median(std::vector<double> values);

template <class Work> double secondsOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// --- the store

// A 32x32 icon with its own colour, as a captured program icon.
QImage programIcon(int number);

// Rows of t_sc as the store writes them, inserted in one transaction; each file is created
// on disk beside the row. Half the programs are ".exe" with an icon; the rest are ".bat",
// ".com", ".txt" and ".cmd" files.
void storeShortCuts(const QString& shortCutTable, const QString& group, const QString& folder,
                    int count);
// Categories in t_scg, numbered 1, 2, 3, ... in the given order.
void storeGroups(const QString& groupTable, const QStringList& names);

// A read of the rows straight through SQLite with a stat of each path and each BMP decoded:
// what any program has to do to show the rows. Returns the number of existing files.
class BareShortCutReader {
public:
    explicit BareShortCutReader(const QString& shortCutTable);
    ~BareShortCutReader();
    BareShortCutReader(const BareShortCutReader&) = delete;
    BareShortCutReader& operator=(const BareShortCutReader&) = delete;

    int readGroup(const QString& group);
    int readAll();

private:
    int read(const char* statement, const std::string& group);
    sqlite3* m_db = nullptr;
};

// --- folder trees

struct TreeShape {
    int topFolders;
    int subFoldersPerTop;
    int filesPerFolder;
    int folderCount() const { return topFolders * (1 + subFoldersPerTop); }
    int fileCount() const { return folderCount() * filesPerFolder; }
    int exeCount() const { return folderCount() * 2; }
};
TreeShape treeShape();
// Writes the tree under `root` (which must not exist yet): every folder holds its files, two of
// them programs (".exe" and ".EXE"), the others documents and libraries.
void generateTree(const std::string& root, const TreeShape& shape);

// --- programs started from outside

struct ChildRun {
    double seconds;
    int exitCode;
    long outputLines; // lines written to standard output, counted when captureOutput is set
};
// Starts `argv` in this process's environment with `extraEnvironment` (NAME=VALUE) added,
// waits for its end and reports its wall time. Standard error is discarded.
ChildRun runChild(const std::vector<std::string>& argv,
                  const std::vector<std::string>& extraEnvironment = {},
                  bool captureOutput = false);
// The peak resident memory of `program` in kilobytes, measured by GNU time: a child's own
// rusage is no use, since Linux counts the spawning process's memory into it.
long peakKilobytesOf(const std::string& program, const std::vector<std::string>& extraEnvironment);
