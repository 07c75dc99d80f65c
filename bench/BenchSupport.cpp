#include "BenchSupport.h"

#include <QBuffer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

BenchSizes sizes{2000, 40, 50, 50, 99, 20, 15, 7, 3};

std::vector<FigureResult>& figures() {
    static std::vector<FigureResult> all;
    return all;
}

QString unquoted(const QString& table) {
    return table.startsWith('"') ? table.mid(1, table.size() - 2) : table;
}

QByteArray bmpFileImage(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A connection of its own on one table file, for bulk writes the store has no operation for.
class TableWriter {
public:
    explicit TableWriter(const QString& table) : m_name("bench_" + table) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(unquoted(table));
        if (!db.open() || !db.transaction())
            throw std::runtime_error("cannot open " + table.toStdString());
    }
    ~TableWriter() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    QSqlQuery prepare(const QString& statement) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(statement);
        return query;
    }
    static void run(QSqlQuery& query) {
        if (!query.exec())
            throw std::runtime_error(query.lastError().text().toStdString());
    }
    void commit() { QSqlDatabase::database(m_name, false).commit(); }

private:
    QString m_name;
};

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    file.write(content);
}

const char* const OtherExtensions[] = {".bat", ".com", ".txt", ".cmd"};

void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + path);
}

void touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    ::close(fd);
}

void fillFolder(const std::string& folder, int files) {
    static const char* const others[] = {".dll", ".txt", ".dat", ".ini", ".png", ".cfg"};
    for (int i = 0; i < files; ++i) {
        std::string name;
        if (i == 0)
            name = "program.exe";
        else if (i == 1)
            name = "SETUP.EXE";
        else
            name = "file" + std::to_string(i) + others[i % 6];
        touch(folder + "/" + name);
    }
}

std::vector<char*> environmentWith(std::vector<std::string>& storage) {
    std::vector<char*> entries;
    for (char** variable = environ; *variable; ++variable)
        if (std::string(*variable).rfind("removedrive=", 0) != 0)
            entries.push_back(*variable);
    for (std::string& extra : storage)
        entries.push_back(extra.data());
    entries.push_back(nullptr);
    return entries;
}

long countLines(int fd) {
    long lines = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return lines;
        lines += std::count(buffer, buffer + got, '\n');
    }
}

} // namespace

const BenchSizes& benchSizes() {
    return sizes;
}

void useTinySizes() {
    sizes = BenchSizes{20, 3, 4, 2, 2, 3, 1, 1, 1};
}

void recordFigure(const FigureResult& figure) {
    figures().push_back(figure);
}

void printSummary() {
    std::printf("\n%-15s %12s %12s %8s %8s  %s\n", "figure", "KELDA", "baseline", "ratio", "target",
                "");
    for (const FigureResult& f : figures()) {
        const bool met = f.ratio() <= f.target;
        std::printf("%-15s %9.2f ms %9.2f ms %7.2fx %7.2fx  %s %s\n", f.name.c_str(),
                    f.keldaMedian * 1e3, f.baselineMedian * 1e3, f.ratio(), f.target,
                    met ? "met" : "MISSED", f.note.c_str());
    }
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

QImage programIcon(int number) {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    const QColor colour = QColor::fromHsv(number * 37 % 360, 200, 220);
    for (int y = 4; y < 28; ++y)
        for (int x = 4 + y % 3; x < 28; ++x)
            icon.setPixelColor(x, y, colour.darker(100 + (x + y + number) % 60));
    return icon;
}

void storeShortCuts(const QString& shortCutTable, const QString& group, const QString& folder,
                    int count) {
    TableWriter writer(shortCutTable);
    QSqlQuery insert = writer.prepare("INSERT INTO t_sc (ShortCutGroupName, SCTEXT, FileName,"
                                      " Parameters, FICON) VALUES (?, ?, ?, ?, ?)");
    for (int i = 0; i < count; ++i) {
        const bool program = i % 2 == 0;
        const QString name = QStringLiteral("tool%1").arg(i, 5, 10, QLatin1Char('0'));
        const QString path =
            folder + '/' + name + (program ? QStringLiteral(".exe") : OtherExtensions[i / 2 % 4]);
        writeFile(path, "MZ");
        insert.addBindValue(group);
        insert.addBindValue(name);
        insert.addBindValue(path);
        insert.addBindValue(program ? QStringLiteral("-portable") : QString());
        insert.addBindValue(program ? bmpFileImage(programIcon(i)) : QByteArray());
        TableWriter::run(insert);
    }
    writer.commit();
}

void storeGroups(const QString& groupTable, const QStringList& names) {
    TableWriter writer(groupTable);
    QSqlQuery insert =
        writer.prepare("INSERT INTO t_scg (groupindex, groupname, imageindex) VALUES (?, ?, ?)");
    for (int i = 0; i < names.size(); ++i) {
        insert.addBindValue(i + 1);
        insert.addBindValue(names.at(i));
        insert.addBindValue(i % 45);
        TableWriter::run(insert);
    }
    writer.commit();
}

BareShortCutReader::BareShortCutReader(const QString& shortCutTable) {
    const QByteArray path = unquoted(shortCutTable).toUtf8();
    if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path.toStdString());
}

BareShortCutReader::~BareShortCutReader() {
    sqlite3_close(m_db);
}

int BareShortCutReader::readGroup(const QString& group) {
    return read("SELECT ShortCutGroupName, SCTEXT, FileName, Parameters, FICON FROM t_sc"
                " WHERE ShortCutGroupName=? ORDER BY FileName",
                group.toStdString());
}

int BareShortCutReader::readAll() {
    return read("SELECT ShortCutGroupName, SCTEXT, FileName, Parameters, FICON FROM t_sc"
                " ORDER BY ShortCutGroupName, FileName",
                std::string());
}

int BareShortCutReader::read(const char* statement, const std::string& group) {
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(m_db, statement, -1, &query, nullptr);
    if (!group.empty())
        sqlite3_bind_text(query, 1, group.c_str(), -1, SQLITE_STATIC);
    int existing = 0;
    while (sqlite3_step(query) == SQLITE_ROW) {
        std::string texts[4];
        for (int column = 0; column < 4; ++column)
            if (const unsigned char* text = sqlite3_column_text(query, column))
                texts[column] = reinterpret_cast<const char*>(text);
        const auto* blob = static_cast<const uchar*>(sqlite3_column_blob(query, 4));
        const int size = sqlite3_column_bytes(query, 4);
        QImage icon;
        if (size > 0)
            icon.loadFromData(blob, size, "BMP");
        struct stat info {};
        if (::stat(texts[2].c_str(), &info) == 0 && S_ISREG(info.st_mode))
            ++existing;
    }
    sqlite3_finalize(query);
    return existing;
}

TreeShape treeShape() {
    return {sizes.treeTopFolders, sizes.treeSubFoldersPerTop, sizes.treeFilesPerFolder};
}

void generateTree(const std::string& root, const TreeShape& shape) {
    makeFolder(root);
    for (int top = 0; top < shape.topFolders; ++top) {
        const std::string topFolder = root + "/app" + std::to_string(top);
        makeFolder(topFolder);
        fillFolder(topFolder, shape.filesPerFolder);
        for (int sub = 0; sub < shape.subFoldersPerTop; ++sub) {
            const std::string subFolder = topFolder + "/part" + std::to_string(sub);
            makeFolder(subFolder);
            fillFolder(subFolder, shape.filesPerFolder);
        }
    }
}

ChildRun runChild(const std::vector<std::string>& argv,
                  const std::vector<std::string>& extraEnvironment, bool captureOutput) {
    std::vector<std::string> arguments = argv;
    std::vector<char*> argumentPointers;
    for (std::string& argument : arguments)
        argumentPointers.push_back(argument.data());
    argumentPointers.push_back(nullptr);
    std::vector<std::string> extra = extraEnvironment;
    std::vector<char*> environment = environmentWith(extra);

    int pipeEnds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (captureOutput) {
        if (::pipe(pipeEnds) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }

    ChildRun run{};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int failed = posix_spawn(&child, argumentPointers[0], &actions, nullptr,
                                   argumentPointers.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    if (captureOutput) {
        ::close(pipeEnds[1]);
        run.outputLines = countLines(pipeEnds[0]);
        ::close(pipeEnds[0]);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

long peakKilobytesOf(const std::string& program, const std::vector<std::string>& extraEnvironment) {
    QTemporaryFile report;
    if (!report.open())
        throw std::runtime_error("no temporary file");
    const ChildRun run =
        runChild({"/usr/bin/time", "-f", "%M", "-o", report.fileName().toStdString(), program},
                 extraEnvironment);
    if (run.exitCode != 0)
        throw std::runtime_error(program + " did not end cleanly");
    return report.readAll().trimmed().toLong();
}
