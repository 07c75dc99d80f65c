#include "TestSupport.h"
#include "uCommon.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

// root/
//   a.exe  B.EXE  .hidden.exe  notes.txt  README
//   folder.exe/inner.exe          a folder matching the mask
//   .hiddendir/h.exe              a hidden folder
//   sub/s.exe  sub/deep/d.exe  sub/deep/deeper/dd.exe
//   loop -> root                  a link cycle
void buildTree(const TestSandbox& sandbox) {
    for (const char* file :
         {"a.exe", "B.EXE", ".hidden.exe", "notes.txt", "README", "folder.exe/inner.exe",
          ".hiddendir/h.exe", "sub/s.exe", "sub/deep/d.exe", "sub/deep/deeper/dd.exe"})
        sandbox.writeFile(QString("tree/") + file);
    QFile::link(sandbox.root() + "/tree", sandbox.root() + "/tree/loop");
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void isDotEntry_data();
    void isDotEntry();
    void searchFinds_data();
    void searchFinds();
    void ownFilesComeBeforeEachSubfolderDepthFirst();
};

void TestSearch::isDotEntry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dot");
    QTest::newRow("dot") << "." << true;
    QTest::newRow("dot dot") << ".." << true;
    QTest::newRow("hidden") << ".git" << false;
    QTest::newRow("three dots") << "..." << false;
    QTest::newRow("empty") << "" << false;
}

void TestSearch::isDotEntry() {
    QFETCH(QString, name);
    QFETCH(bool, dot);
    QCOMPARE(IsDotEntry(name), dot);
}

// depth: "all" searches with SearchFiles and recursion, "none" with SearchFiles alone,
// a number with SearchFilesDepth.
void TestSearch::searchFinds_data() {
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("pathSuffix");
    QTest::addColumn<QStringList>("expected");

    const QStringList own{".hidden.exe", "B.EXE", "a.exe"};
    const QStringList level1 = own + QStringList{"folder.exe/inner.exe", "sub/s.exe"};
    const QStringList level2 = level1 + QStringList{"sub/deep/d.exe"};
    const QStringList all = level2 + QStringList{"sub/deep/deeper/dd.exe"};

    QTest::newRow("folder only") << "none"
                                 << "*.exe"
                                 << "" << own;
    QTest::newRow("all levels") << "all"
                                << "*.exe"
                                << "" << all;
    QTest::newRow("depth negative") << "-1"
                                    << "*.exe"
                                    << "" << own;
    QTest::newRow("depth 0") << "0"
                             << "*.exe"
                             << "" << level1;
    QTest::newRow("depth 1") << "1"
                             << "*.exe"
                             << "" << level2;
    QTest::newRow("depth beyond the tree") << "9"
                                           << "*.exe"
                                           << "" << all;
    QTest::newRow("closing separator") << "all"
                                       << "*.exe"
                                       << "/" << all;
    QTest::newRow("mask case ignored") << "none"
                                       << "*.Exe"
                                       << "" << own;
    QTest::newRow("question mark") << "none"
                                   << "?.exe"
                                   << "" << QStringList{"B.EXE", "a.exe"};
    QTest::newRow("star dot star takes names without dot")
        << "none"
        << "*.*"
        << "" << own + QStringList{"README", "notes.txt"};
    QTest::newRow("folder name matching mask") << "none"
                                               << "folder*"
                                               << "" << QStringList();
    QTest::newRow("empty mask") << "all"
                                << ""
                                << "" << QStringList();
    QTest::newRow("brackets are literal") << "none"
                                          << "[ab].exe"
                                          << "" << QStringList();
}

void TestSearch::searchFinds() {
    QFETCH(QString, depth);
    QFETCH(QString, mask);
    QFETCH(QString, pathSuffix);
    QFETCH(QStringList, expected);
    TestSandbox sandbox;
    buildTree(sandbox);
    const QString path = sandbox.root() + "/tree" + pathSuffix;

    QStringList finds;
    if (depth == "all" || depth == "none")
        SearchFiles(path, mask, depth == "all", finds);
    else
        SearchFilesDepth(path, mask, depth.toInt(), finds);

    expected.sort();
    QCOMPARE(relativeSorted(finds, sandbox.root() + "/tree/"), expected);
}

void TestSearch::ownFilesComeBeforeEachSubfolderDepthFirst() {
    TestSandbox sandbox;
    for (const char* file : {"x1.exe", "x2.exe", "s1/y.exe", "s1/t/z.exe", "s2/w.exe"})
        sandbox.writeFile(QString("tree/") + file);
    const QString root = sandbox.root() + "/tree/";

    for (bool depthLimited : {false, true}) {
        QStringList finds;
        if (depthLimited)
            SearchFilesDepth(sandbox.root() + "/tree", "*.exe", 5, finds);
        else
            SearchFiles(sandbox.root() + "/tree", "*.exe", true, finds);

        QCOMPARE(finds.size(), 5);
        QCOMPARE(QSet<QString>(finds.begin(), finds.begin() + 2),
                 (QSet<QString>{root + "x1.exe", root + "x2.exe"}));
        const int y = finds.indexOf(root + "s1/y.exe");
        const int z = finds.indexOf(root + "s1/t/z.exe");
        const int w = finds.indexOf(root + "s2/w.exe");
        QCOMPARE(z, y + 1);
        QVERIFY(w == 2 || w == 4);
    }
}

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
