#include "TestSupport.h"
#include "uCommon.h"
#include "uEnvironment.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

// Installs a fresh TEnvironment as Env for one test.
struct EnvScope {
    TEnvironment environment;
    EnvScope() { Env = &environment; }
    ~EnvScope() { Env = nullptr; }
};

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}

// Records the shape of the application cursor whenever DeleteTree asks about a file.
class CursorWatchingPlatform : public TestPlatform {
public:
    QList<Qt::CursorShape> shapes;
    bool deleteFolderTree(const std::string& folder) override {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        shapes.append(cursor ? cursor->shape() : Qt::ArrowCursor);
        return TestPlatform::deleteFolderTree(folder);
    }
};

} // namespace

class TestCommon : public QObject {
    Q_OBJECT

private slots:
    void extractFileNameNoExt_data();
    void extractFileNameNoExt();
    void extractFolderPart_data();
    void extractFolderPart();
    void lowerCaseExtension_data();
    void lowerCaseExtension();
    void launchProgramStartsScriptInItsFolder_data();
    void launchProgramStartsScriptInItsFolder();
    void deleteTreeRemovesEverything_data();
    void deleteTreeRemovesEverything();
    void deleteTreeLeavesReadOnlyFileAndItsFolders();
    void deleteTreeRefusesNothingToDelete_data();
    void deleteTreeRefusesNothingToDelete();
    void deleteTreeNeverFollowsLinks();
    void deleteTreeShowsBusyCursorThenRestores();
};

void TestCommon::extractFileNameNoExt_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows path") << "E:\\Tools\\Edit\\edit.exe"
                                  << "edit";
    QTest::newRow("posix path") << "/media/usb/Tools/edit.sh"
                                << "edit";
    QTest::newRow("mixed separators") << "E:\\Tools/Edit\\run.bat"
                                      << "run";
    QTest::newRow("last extension only") << "archive.tar.gz"
                                         << "archive.tar";
    QTest::newRow("no extension") << "README"
                                  << "README";
    QTest::newRow("dot file") << ".profile"
                              << "";
    QTest::newRow("trailing dot") << "notes."
                                  << "notes";
    QTest::newRow("two trailing dots") << "a.b."
                                       << "a.b";
    QTest::newRow("drive without folder") << "C:edit.exe"
                                          << "edit";
    QTest::newRow("dot in folder only") << "/opt/app.d/run"
                                        << "run";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommon::extractFileNameNoExt() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(ExtractFileNameNoExt(path), expected);
}

void TestCommon::extractFolderPart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows path") << "E:\\Tools\\Edit\\edit.exe"
                                  << "E:\\Tools\\Edit\\";
    QTest::newRow("posix path") << "/media/usb/edit.sh"
                                << "/media/usb/";
    QTest::newRow("drive without folder") << "C:edit.exe"
                                          << "C:";
    QTest::newRow("name only") << "edit.exe"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommon::extractFolderPart() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(ExtractFolderPart(path), expected);
}

void TestCommon::lowerCaseExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upper case") << "E:\\Tools\\TOOL.EXE"
                                << ".exe";
    QTest::newRow("last extension") << "/a/archive.tar.GZ"
                                    << ".gz";
    QTest::newRow("dot in folder only") << "E:\\app.d\\run"
                                        << "";
    QTest::newRow("non-ascii letters kept") << "a.ÄBC"
                                            << ".Äbc";
}

void TestCommon::lowerCaseExtension() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(LowerCaseExtension(path), expected);
}

void TestCommon::launchProgramStartsScriptInItsFolder_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments");

    const QString script = "/tools/record.sh";
    QTest::newRow("variable, no parameters") << "%removedrive%" + script << "" << QStringList();
    QTest::newRow("variable in parameters")
        << "%removedrive%" + script << "%removedrive%/docs/a.txt"
        << QStringList{"<drive>/docs/a.txt"};
    QTest::newRow("expanded path")
        << "<drive>" + script << "-x \"two words\"" << QStringList{"-x", "two words"};
    QTest::newRow("shell syntax stays literal")
        << "%removedrive%" + script << "; rm -rf ~ $(id) `id` | cat"
        << QStringList{";", "rm", "-rf", "~", "$(id)", "`id`", "|", "cat"};
}

void TestCommon::launchProgramStartsScriptInItsFolder() {
    QFETCH(QString, program);
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);
    TestSandbox sandbox;
    EnvScope env;
    const QString drive = sandbox.root();
    const QString output = sandbox.root() + "/out.txt";
    const QString script = sandbox.writeFile(
        "tools/record.sh", "#!/bin/sh\npwd -P > '" + output.toUtf8() +
                               ".tmp'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                               output.toUtf8() + ".tmp'; done\nmv '" + output.toUtf8() + ".tmp' '" +
                               output.toUtf8() + "'\n");
    QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
    qputenv("removedrive", drive.toUtf8());

    LaunchProgram(program.replace("<drive>", drive), parameters);

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output), 10000);
    const QStringList lines = readLines(output);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QFileInfo(sandbox.root() + "/tools").canonicalFilePath());
    QCOMPARE(lines.mid(1), arguments.replaceInStrings("<drive>", drive));
}

void TestCommon::deleteTreeRemovesEverything_data() {
    QTest::addColumn<QString>("suffix");
    QTest::newRow("without closing separator") << "";
    QTest::newRow("with closing separator") << "/";
}

void TestCommon::deleteTreeRemovesEverything() {
    QFETCH(QString, suffix);
    TestSandbox sandbox;
    sandbox.writeFile("top/a.exe");
    sandbox.writeFile("top/.hidden");
    sandbox.writeFile("top/sub/b.txt");
    sandbox.writeFile("top/sub/deeper/.config/c");
    QDir().mkpath(sandbox.root() + "/top/empty");

    QVERIFY(DeleteTree(sandbox.root() + "/top" + suffix));
    QVERIFY(!QFileInfo::exists(sandbox.root() + "/top"));
}

void TestCommon::deleteTreeLeavesReadOnlyFileAndItsFolders() {
    TestSandbox sandbox;
    sandbox.writeFile("top/a.exe");
    sandbox.writeFile("top/other/b.txt");
    sandbox.writeFile("top/sub/deeper/c.txt");
    const QString readOnly = sandbox.writeFile("top/sub/deeper/locked.txt");
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup));

    QVERIFY(!DeleteTree(sandbox.root() + "/top"));

    QVERIFY(QFileInfo::exists(readOnly));
    QVERIFY(!QFileInfo::exists(sandbox.root() + "/top/sub/deeper/c.txt"));
    QVERIFY(!QFileInfo::exists(sandbox.root() + "/top/other"));
    QVERIFY(!QFileInfo::exists(sandbox.root() + "/top/a.exe"));
    QCOMPARE(QDir(sandbox.root() + "/top").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"sub"});
}

void TestCommon::deleteTreeRefusesNothingToDelete_data() {
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("empty path") << "";
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("a file") << "file.txt";
}

void TestCommon::deleteTreeRefusesNothingToDelete() {
    QFETCH(QString, relativePath);
    TestSandbox sandbox;
    sandbox.writeFile("file.txt");
    const QString path = relativePath.isEmpty() ? QString() : sandbox.root() + "/" + relativePath;

    QVERIFY(!DeleteTree(path));
    QVERIFY(QFileInfo::exists(sandbox.root() + "/file.txt"));
    QVERIFY(QFileInfo::exists(sandbox.exeDir()));
}

void TestCommon::deleteTreeNeverFollowsLinks() {
    TestSandbox sandbox;
    const QString outside = sandbox.root() + "/outside";
    const QString precious = sandbox.writeFile("outside/inner/precious.txt");
    sandbox.writeFile("top/a.exe");
    QVERIFY(QFile::link(outside, sandbox.root() + "/top/folder-link"));
    QVERIFY(QFile::link(precious, sandbox.root() + "/top/file-link"));
    QVERIFY(QFile::link(sandbox.root() + "/gone", sandbox.root() + "/top/broken-link"));
    QVERIFY(QFile::link(outside, sandbox.root() + "/folder-link"));

    QVERIFY(!DeleteTree(sandbox.root() + "/folder-link"));
    QVERIFY(!DeleteTree(sandbox.root() + "/folder-link/"));
    QVERIFY(DeleteTree(sandbox.root() + "/top"));

    QVERIFY(!QFileInfo::exists(sandbox.root() + "/top"));
    QVERIFY(QFileInfo::exists(precious));
}

void TestCommon::deleteTreeShowsBusyCursorThenRestores() {
    TestSandbox sandbox;
    CursorWatchingPlatform watching;
    setPlatform(&watching);
    sandbox.writeFile("top/sub/a.txt");
    const QString locked = sandbox.writeFile("top/locked.txt");
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner));

    QVERIFY(!DeleteTree(sandbox.root() + "/top"));
    QVERIFY(!QGuiApplication::overrideCursor());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(DeleteTree(sandbox.root() + "/top"));
    QVERIFY(!QGuiApplication::overrideCursor());

    QVERIFY(!watching.shapes.isEmpty());
    QVERIFY(std::all_of(watching.shapes.begin(), watching.shapes.end(),
                        [](Qt::CursorShape shape) { return shape == Qt::WaitCursor; }));
}

QTEST_MAIN(TestCommon)
#include "test_common.moc"
