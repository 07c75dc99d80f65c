#include "TestSupport.h"
#include "uEnvironment.h"

#include <QFile>
#include <QStorageInfo>
#include <QtTest>

namespace {

QString environmentFile(const TestSandbox& sandbox) {
    return sandbox.configHome() + "/environment.d/kelda.conf";
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestEnvironment : public QObject {
    Q_OBJECT

private slots:
    void expandPath_data();
    void expandPath();
    void getVariableKeepsUnsetReferences();
    void getRemoveDriveRecordsExecutableDrive_data();
    void getRemoveDriveRecordsExecutableDrive();
    void getRemoveDriveKeepsSetValue();
    void setVariableRefusedLeavesProcessUnchanged();
    void persistentValueSurvivesRestart_data();
    void persistentValueSurvivesRestart();
    void setVariableKeepsOtherLinesAndReplacesItsOwn();
    void importDoesNotOverrideProcessValues();
};

void TestEnvironment::expandPath_data() {
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << "E:"
                           << ""
                           << "";
    QTest::newRow("reference alone") << "E:"
                                     << "%removedrive%"
                                     << "E:";
    QTest::newRow("windows path") << "E:"
                                  << "%removedrive%\\Tools\\Edit\\edit.exe"
                                  << "E:\\Tools\\Edit\\edit.exe";
    QTest::newRow("posix path") << "/media/usb"
                                << "%removedrive%/Apps/run.sh"
                                << "/media/usb/Apps/run.sh";
    QTest::newRow("percent not first") << "E:"
                                       << "C:\\Data\\100%\\a.exe"
                                       << "C:\\Data\\100%\\a.exe";
    QTest::newRow("no closing percent") << "E:"
                                        << "%removedrive"
                                        << "%removedrive";
    QTest::newRow("only the leading reference") << "E:"
                                                << "%removedrive%\\a\\%removedrive%\\b"
                                                << "E:\\a\\%removedrive%\\b";
    QTest::newRow("unset variable") << "E:"
                                    << "%kelda_no_such_variable%\\a.exe"
                                    << "%kelda_no_such_variable%\\a.exe";
    QTest::newRow("empty name") << "E:"
                                << "%%\\a.exe"
                                << "%%\\a.exe";
}

void TestEnvironment::expandPath() {
    QFETCH(QString, drive);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    TestSandbox sandbox;
    qputenv("removedrive", drive.toUtf8());

    QCOMPARE(TEnvironment().ExpandPath(path), expected);
}

void TestEnvironment::getVariableKeepsUnsetReferences() {
    TestSandbox sandbox;
    qputenv("removedrive", "E:");

    QCOMPARE(TEnvironment().GetVariable("%kelda_no_such_variable%;%removedrive%;100%"),
             QString("%kelda_no_such_variable%;E:;100%"));
}

void TestEnvironment::getRemoveDriveRecordsExecutableDrive_data() {
    QTest::addColumn<QString>("exePath");
    QTest::addColumn<QString>("drive");

    QTest::newRow("drive letter") << "E:\\Apps\\kelda.exe"
                                  << "E:";
    QTest::newRow("network share") << "\\\\server\\share\\Apps\\kelda.exe"
                                   << "\\\\server\\share";
    // An empty path stands for the sandbox's own executable: its drive is its mount point.
    QTest::newRow("posix mount point") << ""
                                       << "";
}

void TestEnvironment::getRemoveDriveRecordsExecutableDrive() {
    QFETCH(QString, exePath);
    QFETCH(QString, drive);
    TestSandbox sandbox;
    if (exePath.isEmpty()) {
        exePath = sandbox.exePath();
        drive = QStorageInfo(sandbox.exeDir()).rootPath();
    }
    sandbox.platform.exePath = exePath.toStdString();

    QCOMPARE(TEnvironment().GetRemoveDrive(), drive);
    QCOMPARE(qEnvironmentVariable("removedrive"), drive);
    QVERIFY(QString::fromUtf8(readAll(environmentFile(sandbox))).contains("removedrive="));

    // Recorded once: the second call finds the variable and writes nothing.
    QVERIFY(QFile::remove(environmentFile(sandbox)));
    QCOMPARE(TEnvironment().GetRemoveDrive(), drive);
    QVERIFY(!QFile::exists(environmentFile(sandbox)));
}

void TestEnvironment::getRemoveDriveKeepsSetValue() {
    TestSandbox sandbox;
    sandbox.platform.exePath = "E:\\Apps\\kelda.exe";
    qputenv("removedrive", "F:");

    QCOMPARE(TEnvironment().GetRemoveDrive(), QString("F:"));
    QVERIFY(!QFile::exists(environmentFile(sandbox)));
}

void TestEnvironment::setVariableRefusedLeavesProcessUnchanged() {
    TestSandbox sandbox;
    sandbox.platform.exePath = "E:\\Apps\\kelda.exe";
    const QString blocker = sandbox.writeFile("blocker");
    qputenv("XDG_CONFIG_HOME", (blocker + "/config").toUtf8());
    const TEnvironment environment;

    QVERIFY(!environment.SetVariable("removedrive", "E:", true));
    QVERIFY(!qEnvironmentVariableIsSet("removedrive"));
    QVERIFY(!environment.SetVariable("removedrive", "E:", false));
    QVERIFY(!qEnvironmentVariableIsSet("removedrive"));

    // Recording failed, so every call takes the executable's drive again.
    QCOMPARE(environment.GetRemoveDrive(), QString("E:"));
    QVERIFY(!qEnvironmentVariableIsSet("removedrive"));
}

void TestEnvironment::persistentValueSurvivesRestart_data() {
    QTest::addColumn<QString>("value");

    QTest::newRow("drive letter") << "E:";
    QTest::newRow("mount point with blanks") << "/media/user/MY USB";
    QTest::newRow("shell characters") << "/media/a\"b$c`d\\e'f";
    QTest::newRow("leading hash") << "#drive";
    QTest::newRow("chinese") << "/media/移动盘";
}

void TestEnvironment::persistentValueSurvivesRestart() {
    QFETCH(QString, value);
    TestSandbox sandbox;
    QVERIFY(TEnvironment().SetVariable("removedrive", value, true));
    QCOMPARE(qEnvironmentVariable("removedrive"), value);

    qunsetenv("removedrive"); // as a new process would start
    sandbox.platform.importPersistentEnvironment();

    QCOMPARE(qEnvironmentVariable("removedrive"), value);
}

void TestEnvironment::setVariableKeepsOtherLinesAndReplacesItsOwn() {
    TestSandbox sandbox;
    sandbox.writeFile("config/environment.d/kelda.conf", "# kept\nOTHER=1\nremovedrive=C:\n");
    const TEnvironment environment;

    QVERIFY(environment.SetVariable("removedrive", "E:", true));
    QVERIFY(environment.SetVariable("removedrive", "F:", true));

    QCOMPARE(readAll(environmentFile(sandbox)), QByteArray("# kept\nOTHER=1\nremovedrive=F:\n"));
}

void TestEnvironment::importDoesNotOverrideProcessValues() {
    TestSandbox sandbox;
    sandbox.writeFile("config/environment.d/kelda.conf",
                      "removedrive=E:\n# KELDA_TEST_COMMENTED=1\nKELDA_TEST_QUOTED=\"a b\"\n");
    qputenv("removedrive", "F:");
    qunsetenv("KELDA_TEST_QUOTED");

    sandbox.platform.importPersistentEnvironment();

    QCOMPARE(qEnvironmentVariable("removedrive"), QString("F:"));
    QCOMPARE(qEnvironmentVariable("KELDA_TEST_QUOTED"), QString("a b"));
    QVERIFY(!qEnvironmentVariableIsSet("KELDA_TEST_COMMENTED"));
    qunsetenv("KELDA_TEST_QUOTED");
}

QTEST_GUILESS_MAIN(TestEnvironment)
#include "test_environment.moc"
