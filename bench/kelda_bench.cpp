// KELDA's hot paths, each beside a baseline measured in the same run. Every iteration runs
// both, alternating which goes first; the figures are the medians and their ratio.
#include "AppWorld.h"
#include "BenchSupport.h"
#include "uCommon.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace {

struct Samples {
    std::vector<double> kelda;
    std::vector<double> baseline;
};

// Runs one round of both, in alternating order so that neither always finds warm caches.
template <class Kelda, class Baseline>
double measureRound(benchmark::State& state, Samples& samples, Kelda&& kelda, Baseline&& baseline) {
    double keldaSeconds = 0;
    double baselineSeconds = 0;
    if (samples.kelda.size() % 2 == 0) {
        keldaSeconds = kelda();
        baselineSeconds = baseline();
    } else {
        baselineSeconds = baseline();
        keldaSeconds = kelda();
    }
    samples.kelda.push_back(keldaSeconds);
    samples.baseline.push_back(baselineSeconds);
    state.SetIterationTime(keldaSeconds);
    return keldaSeconds;
}

void report(benchmark::State& state, const Samples& samples, const std::string& name, double target,
            const std::string& note = std::string()) {
    const FigureResult figure{name, median(samples.kelda), median(samples.baseline), target, note};
    state.counters["kelda_ms"] = figure.keldaMedian * 1e3;
    state.counters["baseline_ms"] = figure.baselineMedian * 1e3;
    state.counters["ratio"] = figure.ratio();
    recordFigure(figure);
}

void check(bool condition, const char* what) {
    if (!condition)
        throw std::runtime_error(what);
}

// --- category fill: RefreshCurrentGroup into the real list, offscreen

void BM_CategoryFill(benchmark::State& state) {
    AppWorld world;
    const QString folder = world.sandbox.root() + "/programs";
    QDir().mkpath(folder);
    const int count = benchSizes().fillShortCuts;
    world.addGroup("Programs");
    storeShortCuts(dm->ShortCutTable, "Programs", folder, count);
    world.openWindow();
    world.clickTab("Programs");
    check(world.list()->count() == count, "the list does not show every shortcut");
    BareShortCutReader bare(dm->ShortCutTable);

    Samples samples;
    for (auto _ : state) {
        measureRound(
            state, samples,
            [&] {
                const double seconds = secondsOf([] { frmMain->RefreshCurrentGroup(); });
                QCoreApplication::processEvents();
                return seconds;
            },
            [&] {
                return secondsOf([&] { benchmark::DoNotOptimize(bare.readGroup("Programs")); });
            });
    }
    check(world.list()->count() == count, "the list lost shortcuts");
    report(state, samples, "category fill", 1.5);
}

// --- tray menu: RebuildTrayMenu over every category

void BM_TrayMenu(benchmark::State& state) {
    AppWorld world;
    const BenchSizes& sizes = benchSizes();
    QStringList names;
    for (int i = 0; i < sizes.trayCategories; ++i) {
        const QString name = QStringLiteral("Category %1").arg(i);
        const QString folder = world.sandbox.root() + QStringLiteral("/programs/%1").arg(i);
        QDir().mkpath(folder);
        storeShortCuts(dm->ShortCutTable, name, folder, sizes.trayShortCutsPerCategory);
        names.append(name);
    }
    storeGroups(dm->GroupTable, names);
    world.openWindow();
    BareShortCutReader bare(dm->ShortCutTable);
    QMenu* menu = frmMain->findChild<QMenu*>("PopupMenu1");

    Samples samples;
    for (auto _ : state) {
        measureRound(
            state, samples,
            [&] {
                // The rebuild releases the previous menu's items too; that is part of the work.
                return secondsOf([] {
                    frmMain->RebuildTrayMenu();
                    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                });
            },
            [&] { return secondsOf([&] { benchmark::DoNotOptimize(bare.readAll()); }); });
    }
    check(menu->actions().size() == sizes.trayCategories + 5, "the tray menu lacks categories");
    report(state, samples, "tray menu", 2.0);
}

// --- batch search and folder delete over a generated tree

class TreeFolder {
public:
    TreeFolder() { check(m_dir.isValid(), "no temporary folder"); }
    std::string path(const char* name) const { return (m_dir.path() + '/' + name).toStdString(); }

private:
    QTemporaryDir m_dir;
};

void BM_BatchSearch(benchmark::State& state) {
    const TreeShape shape = treeShape();
    TreeFolder temp;
    const std::string tree = temp.path("tree");
    generateTree(tree, shape);
    const QString treePath = QString::fromStdString(tree);

    Samples samples;
    for (auto _ : state) {
        measureRound(
            state, samples,
            [&] {
                QStringList finds;
                const double seconds =
                    secondsOf([&] { SearchFiles(treePath, "*.exe", true, finds); });
                check(finds.size() == shape.exeCount(), "SearchFiles missed programs");
                return seconds;
            },
            [&] {
                const ChildRun find =
                    runChild({"/usr/bin/find", tree, "-iname", "*.exe"}, {}, true);
                check(find.outputLines == shape.exeCount(), "find missed programs");
                return find.seconds;
            });
    }
    report(state, samples, "batch search", 1.0,
           std::to_string(shape.fileCount()) + " files, " + std::to_string(shape.folderCount()) +
               " folders");
}

void BM_FolderDelete(benchmark::State& state) {
    const TreeShape shape = treeShape();
    TreeFolder temp;
    const std::string keldaTree = temp.path("kelda");
    const std::string baselineTree = temp.path("baseline");

    Samples samples;
    for (auto _ : state) {
        generateTree(keldaTree, shape);
        generateTree(baselineTree, shape);
        ::sync(); // both trees reach the disk before either is timed
        measureRound(
            state, samples,
            [&] {
                bool removed = false;
                const double seconds =
                    secondsOf([&] { removed = DeleteTree(QString::fromStdString(keldaTree)); });
                check(removed, "DeleteTree left the tree");
                return seconds;
            },
            [&] {
                const ChildRun rm = runChild({"/bin/rm", "-rf", baselineTree});
                check(rm.exitCode == 0 && !QFile::exists(QString::fromStdString(baselineTree)),
                      "rm -rf left the tree");
                return rm.seconds;
            });
    }
    report(state, samples, "folder delete", 1.1);
}

// --- start-up of the real program, from exec until the window is shown and the loop is idle

// A copy of the program beside a data folder holding the categories, with configuration and
// runtime folders of its own (the single-instance lock lives in the runtime folder).
class StartUpWorld {
public:
    StartUpWorld() {
        {
            TestSandbox sandbox;
            sandbox.platform.exePath = programPath().toStdString();
            QDir().mkpath(root() + "/app");
            Tdm store;
            store.DataModuleCreate();
            const BenchSizes& sizes = benchSizes();
            QStringList names;
            for (int i = 0; i < sizes.trayCategories; ++i) {
                names.append(QStringLiteral("Category %1").arg(i));
                const QString folder = root() + QStringLiteral("/programs/%1").arg(i);
                QDir().mkpath(folder);
                storeShortCuts(store.ShortCutTable, names.last(), folder,
                               sizes.trayShortCutsPerCategory);
            }
            storeGroups(store.GroupTable, names);
        }
        check(QFile::copy(KELDA_EXECUTABLE, programPath()), "cannot copy the program");
        QFile::setPermissions(programPath(), QFile::permissions(KELDA_EXECUTABLE));
        QDir().mkpath(root() + "/config");
        QDir().mkpath(root() + "/runtime");
        QFile::setPermissions(root() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString programPath() const { return root() + "/app/kelda"; }
    std::vector<std::string> environment() const {
        return {"QT_QPA_PLATFORM=offscreen", "KELDA_QUIT_WHEN_IDLE=1",
                "XDG_CONFIG_HOME=" + (root() + "/config").toStdString(),
                "XDG_RUNTIME_DIR=" + (root() + "/runtime").toStdString()};
    }

private:
    QString root() const { return m_dir.path(); }
    QTemporaryDir m_dir;
};

ChildRun startProgram(const std::string& program, const std::vector<std::string>& environment) {
    const ChildRun run = runChild({program}, environment);
    check(run.exitCode == 0, "a program did not start cleanly");
    return run;
}

// Peak memory is measured in rounds of its own, outside the timed starts.
std::string peakMemoryNote(const std::string& kelda, const std::vector<std::string>& environment) {
    std::vector<double> keldaPeaks;
    std::vector<double> baselinePeaks;
    for (int round = 0; round < 3; ++round) {
        keldaPeaks.push_back(peakKilobytesOf(kelda, environment) / 1024.0);
        baselinePeaks.push_back(peakKilobytesOf(EMPTY_WINDOW_EXECUTABLE, environment) / 1024.0);
    }
    const double keldaPeak = median(keldaPeaks);
    const double baselinePeak = median(baselinePeaks);
    char note[96];
    std::snprintf(note, sizeof note, "peak %.1f MB vs %.1f MB: %+.1f MB (target +20 MB) %s",
                  keldaPeak, baselinePeak, keldaPeak - baselinePeak,
                  keldaPeak - baselinePeak <= 20 ? "met" : "MISSED");
    return note;
}

void BM_StartUp(benchmark::State& state) {
    StartUpWorld world;
    const std::string kelda = world.programPath().toStdString();
    const std::vector<std::string> environment = world.environment();
    // The first start records the drive variable; the timed starts find it as a user would.
    startProgram(kelda, environment);
    startProgram(EMPTY_WINDOW_EXECUTABLE, environment);

    Samples samples;
    for (auto _ : state) {
        measureRound(
            state, samples, [&] { return startProgram(kelda, environment).seconds; },
            [&] { return startProgram(EMPTY_WINDOW_EXECUTABLE, environment).seconds; });
    }
    report(state, samples, "start-up", 1.5, peakMemoryNote(kelda, environment));
}

void registerFigures() {
    const BenchSizes& sizes = benchSizes();
    const auto add = [](const char* name, void (*figure)(benchmark::State&), int iterations) {
        benchmark::RegisterBenchmark(name, figure)
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    add("category_fill", BM_CategoryFill, sizes.iterations);
    add("tray_menu", BM_TrayMenu, sizes.iterations);
    add("batch_search", BM_BatchSearch, sizes.searchIterations);
    add("folder_delete", BM_FolderDelete, sizes.deleteIterations);
    add("start_up", BM_StartUp, sizes.iterations);
}

// "--tiny" runs every figure once on small sizes: it proves the benchmarks build and work.
bool takeTinyFlag(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tiny") == 0) {
            std::copy(argv + i + 1, argv + argc + 1, argv + i);
            --argc;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (takeTinyFlag(argc, argv))
        useTinySizes();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerFigures();
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    benchmark::Shutdown();
    printSummary();
    return 0;
}
