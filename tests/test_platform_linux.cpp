#include "KeldaError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStorageInfo>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A private runtime folder, so the lock never meets the real program's.
QString useRuntimeFolder(const TestSandbox& sandbox) {
    const QString runtime = sandbox.root() + "/run";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    return runtime;
}

// A lock file as QLockFile writes it, naming the process `pid` running `program`.
void writeLockOf(const QString& lockPath, qint64 pid, const QByteArray& program) {
    QFile file(lockPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(pid) + "\n" + program + "\n\n");
}

QString pathInSandbox(const TestSandbox& sandbox, QString path) {
    return path.replace("<sandbox>", sandbox.root());
}

} // namespace

class TestPlatformLinux : public QObject {
    Q_OBJECT

private slots:
    void drivePart_data();
    void drivePart();
    void drivePartOfMountedVolume();
    void pathBeginsWithDrive_data();
    void pathBeginsWithDrive();
    void logicalDrivesListsMountPoints();
    void settingsRoundTrip();
    void nonTextSettingReadsEmpty();
    void unwritableConfigHomeRefusesWrites();
    void runAtStartEntry_data();
    void runAtStartEntry();
    void runAtStartPresenceFollowsFile();
    void singleInstanceHeldForTheRun();
    void singleInstanceRespectsLiveOwnerAndTakesOverDeadOne();
    void hiddenAndReadOnlyEntries();
};

void TestPlatformLinux::drivePart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("drive letter") << "E:\\Apps\\kelda.exe"
                                  << "E:";
    QTest::newRow("drive without folder") << "C:edit.exe"
                                          << "C:";
    QTest::newRow("drive alone") << "e:"
                                 << "e:";
    QTest::newRow("network path") << "\\\\server\\share\\Apps\\kelda.exe"
                                  << "\\\\server\\share";
    QTest::newRow("network share alone") << "\\\\server\\share"
                                         << "\\\\server\\share";
    QTest::newRow("network server alone") << "\\\\server"
                                          << "\\\\server";
    QTest::newRow("relative") << "Apps/kelda"
                              << "";
    QTest::newRow("single backslash") << "\\Apps\\kelda.exe"
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("existing posix path") << "<sandbox>/app/kelda"
                                         << "<mount>";
    QTest::newRow("missing posix path") << "<sandbox>/no/such/folder/kelda"
                                        << "<mount>";
}

void TestPlatformLinux::drivePart() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    TestSandbox sandbox;
    expected.replace("<mount>", QStorageInfo(sandbox.root()).rootPath());

    QCOMPARE(QString::fromStdString(
                 sandbox.platform.drivePart(pathInSandbox(sandbox, path).toStdString())),
             expected);
}

void TestPlatformLinux::drivePartOfMountedVolume() {
    TestSandbox sandbox;
    const QString mountPoint = sandbox.root() + "/usb";
    QDir().mkpath(mountPoint);
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=1m", "none", mountPoint});
    if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0)
        QSKIP("mounting a tmpfs is refused here: " + mount.readAllStandardError());
    sandbox.writeFile("usb/Apps/kelda");

    const std::string drive =
        sandbox.platform.drivePart((mountPoint + "/Apps/kelda").toStdString());
    const std::string missingDrive =
        sandbox.platform.drivePart((mountPoint + "/Apps/none/x").toStdString());
    QProcess::execute("umount", {mountPoint});

    QCOMPARE(QString::fromStdString(drive), mountPoint);
    QCOMPARE(QString::fromStdString(missingDrive), mountPoint);
}

void TestPlatformLinux::pathBeginsWithDrive_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<bool>("begins");

    QTest::newRow("letter, other case") << "e:\\Tools\\Run.exe"
                                        << "E:" << true;
    QTest::newRow("letter, path is the drive") << "E:"
                                               << "e:" << true;
    QTest::newRow("other letter") << "F:\\Tools\\Run.exe"
                                  << "E:" << false;
    QTest::newRow("shorter than drive") << "E"
                                        << "E:" << false;
    QTest::newRow("empty drive") << "/media/usb/a"
                                 << "" << false;
    QTest::newRow("mount point") << "/media/usb/Apps/a"
                                 << "/media/usb" << true;
    QTest::newRow("mount point itself") << "/media/usb"
                                        << "/media/usb" << true;
    QTest::newRow("sibling with same start") << "/media/usb2/a"
                                             << "/media/usb" << false;
    QTest::newRow("mount point case matters") << "/Media/usb/a"
                                              << "/media/usb" << false;
    QTest::newRow("root holds every absolute path") << "/media/usb/a"
                                                    << "/" << true;
    QTest::newRow("root does not hold relative") << "media/usb"
                                                 << "/" << false;
    QTest::newRow("share, other case") << "\\\\SERVER\\share\\a.exe"
                                       << "\\\\server\\share" << true;
    QTest::newRow("longer share name") << "\\\\server\\shares\\a.exe"
                                       << "\\\\server\\share" << false;
}

void TestPlatformLinux::pathBeginsWithDrive() {
    QFETCH(QString, path);
    QFETCH(QString, drive);
    QFETCH(bool, begins);
    QCOMPARE(LinuxPlatform().pathBeginsWithDrive(path.toStdString(), drive.toStdString()), begins);
}

void TestPlatformLinux::logicalDrivesListsMountPoints() {
    const std::vector<std::string> drives = LinuxPlatform().logicalDrives();
    QVERIFY(std::find(drives.begin(), drives.end(), "/") != drives.end());
    for (const std::string& drive : drives)
        QVERIFY2(QDir(QString::fromStdString(drive)).exists(), drive.c_str());
}

void TestPlatformLinux::settingsRoundTrip() {
    TestSandbox sandbox;
    QCOMPARE(sandbox.platform.readSetting("min"), std::string());

    sandbox.platform.writeSetting("min", "1");
    sandbox.platform.writeSetting("min", "0");

    QCOMPARE(sandbox.platform.readSetting("min"), std::string("0"));
    QVERIFY(QFile::exists(sandbox.configHome() + "/kelda/kelda.ini"));
}

void TestPlatformLinux::nonTextSettingReadsEmpty() {
    TestSandbox sandbox;
    {
        QSettings settings(sandbox.configHome() + "/kelda/kelda.ini", QSettings::IniFormat);
        settings.setValue("SOFTWARE/kelda/min", QStringList{"1", "2"});
    }
    QCOMPARE(sandbox.platform.readSetting("min"), std::string());
}

void TestPlatformLinux::unwritableConfigHomeRefusesWrites() {
    TestSandbox sandbox;
    const QString blocker = sandbox.writeFile("blocker");
    qputenv("XDG_CONFIG_HOME", (blocker + "/config").toUtf8());

    try {
        sandbox.platform.writeSetting("min", "1");
        QFAIL("writing the setting did not fail");
    } catch (const KeldaError& error) {
        QCOMPARE(error.message(), QString("Failed to set data for 'min'"));
    }
    try {
        sandbox.platform.writeRunAtStart(sandbox.exePath().toStdString());
        QFAIL("writing the autostart entry did not fail");
    } catch (const KeldaError& error) {
        QCOMPARE(error.message(), QString("Failed to set data for 'kelda'"));
    }
    QVERIFY(!sandbox.platform.writePersistentVariable("removedrive", "E:", true));
    QCOMPARE(sandbox.platform.readSetting("min"), std::string());
    QVERIFY(!sandbox.platform.runAtStartPresent());
    sandbox.platform.deleteRunAtStart();
}

void TestPlatformLinux::runAtStartEntry_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");

    QTest::newRow("plain") << "/opt/kelda/kelda"
                           << "/opt/kelda/kelda";
    QTest::newRow("blank") << "/media/my usb/kelda"
                           << "\"/media/my usb/kelda\"";
    QTest::newRow("percent") << "/media/100%/kelda"
                             << "/media/100%%/kelda";
    QTest::newRow("dollar and quote") << "/media/a$b\"c/kelda"
                                      << "\"/media/a\\\\$b\\\\\"c/kelda\"";
    QTest::newRow("backslash") << "/media/a\\b/kelda"
                               << "\"/media/a\\\\\\\\b/kelda\"";
}

void TestPlatformLinux::runAtStartEntry() {
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    TestSandbox sandbox;

    sandbox.platform.writeRunAtStart(executable.toStdString());

    const QString entry =
        QString::fromUtf8(readAll(sandbox.configHome() + "/autostart/kelda.desktop"));
    QCOMPARE(entry, "[Desktop Entry]\nType=Application\nName=KELDA\nExec=" + exec + "\n");
}

void TestPlatformLinux::runAtStartPresenceFollowsFile() {
    TestSandbox sandbox;
    QVERIFY(!sandbox.platform.runAtStartPresent());
    sandbox.platform.deleteRunAtStart();

    sandbox.platform.writeRunAtStart("/old/place/kelda");
    sandbox.platform.writeRunAtStart("/new/place/kelda");
    QVERIFY(sandbox.platform.runAtStartPresent());
    QVERIFY(readAll(sandbox.configHome() + "/autostart/kelda.desktop")
                .contains("\nExec=/new/place/kelda\n"));

    sandbox.platform.deleteRunAtStart();
    QVERIFY(!sandbox.platform.runAtStartPresent());
}

void TestPlatformLinux::singleInstanceHeldForTheRun() {
    TestSandbox sandbox;
    const QString runtime = useRuntimeFolder(sandbox);
    {
        LinuxPlatform first;
        QVERIFY(first.acquireSingleInstance("KELDA"));
        QVERIFY(QFile::exists(runtime + "/KELDA.lock"));
        QVERIFY(first.acquireSingleInstance("KELDA"));
        QVERIFY(!LinuxPlatform().acquireSingleInstance("KELDA"));
    }
    QVERIFY(!QFile::exists(runtime + "/KELDA.lock"));
    QVERIFY(LinuxPlatform().acquireSingleInstance("KELDA"));
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestPlatformLinux::singleInstanceRespectsLiveOwnerAndTakesOverDeadOne() {
    TestSandbox sandbox;
    const QString lockPath = useRuntimeFolder(sandbox) + "/KELDA.lock";
    QProcess owner;
    owner.start("sleep", {"30"});
    QVERIFY(owner.waitForStarted());
    const qint64 ownerPid = owner.processId();
    writeLockOf(lockPath, ownerPid, "sleep");

    QVERIFY(!LinuxPlatform().acquireSingleInstance("KELDA"));

    owner.kill();
    QVERIFY(owner.waitForFinished());
    LinuxPlatform successor;
    QVERIFY(successor.acquireSingleInstance("KELDA"));
    QVERIFY(!readAll(lockPath).startsWith(QByteArray::number(ownerPid) + "\n"));
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestPlatformLinux::hiddenAndReadOnlyEntries() {
    TestSandbox sandbox;
    const QString locked = sandbox.writeFile("locked.txt");
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteGroup | QFile::WriteOther);
    const QString writable = sandbox.writeFile(".hidden");
    QFile::link(locked, sandbox.root() + "/link");
    const LinuxPlatform platform;

    QVERIFY(platform.isReadOnlyFile(locked.toStdString()));
    QVERIFY(!platform.isReadOnlyFile(writable.toStdString()));
    QVERIFY(!platform.isReadOnlyFile((sandbox.root() + "/link").toStdString()));
    QVERIFY(!platform.isReadOnlyFile(sandbox.root().toStdString()));
    QVERIFY(platform.isHiddenEntry(writable.toStdString()));
    QVERIFY(platform.isHiddenEntry((sandbox.root() + "/.config/").toStdString()));
    QVERIFY(!platform.isHiddenEntry(locked.toStdString()));
}

QTEST_GUILESS_MAIN(TestPlatformLinux)
#include "test_platform_linux.moc"
