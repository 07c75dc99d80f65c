#include "AppWorld.h"
#include "uEnvironment.h"
#include "uFrmOption.h"
#include "uUiKit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

namespace {

QComboBox* driveList(QDialog& dialog) {
    return widget<QComboBox>(dialog, "RzComboBoxDrive");
}
QCheckBox* runBox(QDialog& dialog) {
    return widget<QCheckBox>(dialog, "RzCheckBox1");
}
QCheckBox* trayBox(QDialog& dialog) {
    return widget<QCheckBox>(dialog, "RzCheckBox2");
}
QPushButton* autorunButton(QDialog& dialog) {
    return widget<QPushButton>(dialog, "RzButtonCreateFile");
}

QByteArray fileContent(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString minSetting() {
    return QString::fromStdString(platform().readSetting("min"));
}

QList<UiTestHooks::ShownMessage> messages() {
    return UiTestHooks::shownMessages();
}

// A small tmpfs mounted for one test, so the executable lies on a drive of its own.
class TmpfsDrive {
public:
    explicit TmpfsDrive(const QString& folder) : m_folder(folder) {
        QDir().mkpath(folder);
        m_mounted =
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16m", "none", folder}) == 0;
    }
    ~TmpfsDrive() {
        if (m_mounted)
            QProcess::execute("umount", {m_folder});
    }
    TmpfsDrive(const TmpfsDrive&) = delete;
    TmpfsDrive& operator=(const TmpfsDrive&) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly() const {
        return QProcess::execute("mount", {"-o", "remount,ro", m_folder}) == 0;
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

} // namespace

class TestOptions : public AppWorldTest {
    Q_OBJECT

private:
    QString environmentFile() const {
        return m_world->sandbox.configHome() + "/environment.d/kelda.conf";
    }
    QString autostartFile() const {
        return m_world->sandbox.configHome() + "/autostart/kelda.desktop";
    }

    // The main window as the program builds it, with removedrive already set.
    void openWorld(const QByteArray& removeDrive) {
        qputenv("removedrive", removeDrive);
        m_world->openWindow();
    }

private slots:
    void init() {
        AppWorldTest::init();
        m_world->sandbox.platform.drives = std::vector<std::string>{"C:", "D:", "E:"};
    }

    void autorunTarget_data() {
        QTest::addColumn<QString>("exePath");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("relative");
        QTest::newRow("letter drive") << "E:\\Apps\\kelda.exe"
                                      << "E:"
                                      << "E:\\autorun.inf"
                                      << "Apps\\kelda.exe";
        QTest::newRow("letter drive root") << "E:\\kelda.exe"
                                           << "E:"
                                           << "E:\\autorun.inf"
                                           << "kelda.exe";
        QTest::newRow("mount point") << "/media/usb/Apps/kelda"
                                     << "/media/usb"
                                     << "/media/usb/autorun.inf"
                                     << "Apps/kelda";
        QTest::newRow("root file system") << "/opt/kelda/kelda"
                                          << "/"
                                          << "/autorun.inf"
                                          << "opt/kelda/kelda";
    }

    void autorunTarget() {
        QFETCH(QString, exePath);
        QFETCH(QString, drive);
        const TAutorunTarget target = AutorunTargetFor(exePath, drive);
        QTEST(target.FileName, "file");
        QTEST(target.RelativePath, "relative");
    }

    void autorunTextHasFourCrLfLines() {
        QCOMPARE(AutorunText("Apps\\kelda.exe"),
                 QString("[autorun]\r\nOPEN=Apps\\kelda.exe\r\nICON=Apps\\kelda.exe\r\n"
                         "ACTION = Usb-Menu\r\n"));
    }

    void drivesAndRemoveDrive_data() {
        QTest::addColumn<QByteArray>("removeDrive");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QByteArray>("afterOk");
        QTest::newRow("other case selects and is rewritten")
            << QByteArray("e:") << "E:" << QByteArray("E:");
        QTest::newRow("same text writes nothing") << QByteArray("D:") << "D:" << QByteArray();
        QTest::newRow("absent drive stays") << QByteArray("F:") << "" << QByteArray();
    }

    void drivesAndRemoveDrive() {
        QFETCH(QByteArray, removeDrive);
        QFETCH(QString, selected);
        QFETCH(QByteArray, afterOk);
        openWorld(removeDrive);
        TfrmOption dialog;
        QComboBox* drives = driveList(dialog);
        QCOMPARE(drives->count(), 3);
        QCOMPARE(drives->itemText(0), QString("C:"));
        QCOMPARE(drives->itemText(1), QString("D:"));
        QCOMPARE(drives->itemText(2), QString("E:"));
        QCOMPARE(drives->currentText(), selected);

        QCOMPARE(pressOk(dialog), mrOk);
        QCOMPARE(qgetenv("removedrive"), afterOk.isEmpty() ? removeDrive : afterOk);
        if (afterOk.isEmpty())
            QVERIFY(!QFile::exists(environmentFile()));
        else
            QVERIFY(fileContent(environmentFile()).contains("removedrive=" + afterOk));
    }

    void runAtStart_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("tick");
        QTest::newRow("present elsewhere, kept on") << true << true;
        QTest::newRow("present, switched off") << true << false;
        QTest::newRow("absent, switched on") << false << true;
    }

    void runAtStart() {
        QFETCH(bool, present);
        QFETCH(bool, tick);
        if (present)
            platform().writeRunAtStart("/elsewhere/kelda");
        openWorld("E:");
        bool shownTicked = !present;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            shownTicked = runBox(dialog)->isChecked();
            runBox(dialog)->setChecked(tick);
            return pressOk(dialog);
        });
        frmMain->ActionOptionExecute();

        QCOMPARE(shownTicked, present);
        QCOMPARE(QFile::exists(autostartFile()), tick);
        if (tick) {
            const QByteArray entry = fileContent(autostartFile());
            QVERIFY2(entry.contains("Exec=" + m_world->sandbox.exePath().toUtf8()), entry);
            QVERIFY(!entry.contains("/elsewhere/"));
        }
    }

    void startInTray_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shown");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("other text") << "yes" << false;
        QTest::newRow("missing") << "" << false;
    }

    void startInTray() {
        QFETCH(QString, stored);
        QFETCH(bool, shown);
        if (!stored.isEmpty())
            platform().writeSetting("min", stored.toStdString());
        openWorld("E:");
        TfrmOption dialog;
        QCOMPARE(trayBox(dialog)->isChecked(), shown);
        QCOMPARE(pressOk(dialog), mrOk);
        QCOMPARE(minSetting(), QString(shown ? "1" : "0"));
    }

    void cancelWritesNothing() {
        platform().writeSetting("min", "1");
        openWorld("D:");
        UiTestHooks::queueDialog([](QDialog& dialog) {
            driveList(dialog)->setCurrentText("E:");
            runBox(dialog)->setChecked(true);
            trayBox(dialog)->setChecked(false);
            return pressCancel(dialog);
        });
        frmMain->ActionOptionExecute();

        QCOMPARE(qgetenv("removedrive"), QByteArray("D:"));
        QVERIFY(!QFile::exists(environmentFile()));
        QVERIFY(!QFile::exists(autostartFile()));
        QCOMPARE(minSetting(), QString("1"));
        QVERIFY(messages().isEmpty());
    }

    // A blocker file where the settings need a folder makes that write fail.
    void failedWriteIsShownAndStopsTheRest_data() {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<bool>("tickRun");
        QTest::addColumn<QString>("error");
        QTest::newRow("run at start") << "autostart" << true << "Failed to set data for 'kelda'";
        QTest::newRow("start in tray") << "kelda" << false << "Failed to set data for 'min'";
    }

    void failedWriteIsShownAndStopsTheRest() {
        QFETCH(QString, blocker);
        QFETCH(bool, tickRun);
        QFETCH(QString, error);
        m_world->sandbox.writeFile("config/" + blocker);
        openWorld("D:");
        TfrmOption dialog;
        driveList(dialog)->setCurrentText("E:");
        runBox(dialog)->setChecked(tickRun);
        trayBox(dialog)->setChecked(true);

        QCOMPARE(pressOk(dialog), mrOk);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().text, error);
        QCOMPARE(messages().first().type, -2);
        QCOMPARE(qgetenv("removedrive"), QByteArray("E:"));
        QCOMPARE(minSetting(), QString());
    }

    // On Linux "E:\autorun.inf" is a file name in the current folder.
    void autorunForLetterDrive_data() {
        QTest::addColumn<QString>("exePath");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("in a folder")
            << "E:\\Apps\\kelda.exe"
            << QByteArray("[autorun]\r\nOPEN=Apps\\kelda.exe\r\nICON=Apps\\"
                          "kelda.exe\r\nACTION = Usb-Menu\r\n");
        QTest::newRow("in the root")
            << "E:\\kelda.exe"
            << QByteArray("[autorun]\r\nOPEN=kelda.exe\r\nICON=kelda.exe\r\n"
                          "ACTION = Usb-Menu\r\n");
    }

    void autorunForLetterDrive() {
        QFETCH(QString, exePath);
        QFETCH(QByteArray, content);
        openWorld("F:");
        m_world->sandbox.platform.exePath = exePath.toStdString();
        m_world->sandbox.platform.drives = std::vector<std::string>{"E:", "F:"};
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_world->sandbox.root());
        TfrmOption dialog;
        QCOMPARE(autorunButton(dialog)->text(), QString("在驱动器E:生成autorun.inf文件"));
        QCOMPARE(driveList(dialog)->currentText(), QString("F:"));

        autorunButton(dialog)->click();
        QDir::setCurrent(previous);

        QCOMPARE(fileContent(m_world->sandbox.root() + "/E:\\autorun.inf"), content);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().text, QString("文件autorun.inf在根目录创建"));
        QCOMPARE(messages().first().type, int(mtInformation));
        QVERIFY(!QFile::exists(autostartFile()));
        QCOMPARE(minSetting(), QString());
    }

    void autorunOnOwnDrive_data() {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("in a folder")
            << "Apps/kelda"
            << QByteArray(
                   "[autorun]\r\nOPEN=Apps/kelda\r\nICON=Apps/kelda\r\nACTION = Usb-Menu\r\n");
        QTest::newRow("in the root")
            << "kelda"
            << QByteArray("[autorun]\r\nOPEN=kelda\r\nICON=kelda\r\nACTION = Usb-Menu\r\n");
    }

    // The drive part of a POSIX path is its mount point: autorun.inf goes to its root.
    void autorunOnOwnDrive() {
        QFETCH(QString, relative);
        QFETCH(QByteArray, content);
        const QString drive = m_world->sandbox.root() + "/usb";
        TmpfsDrive tmpfs(drive);
        if (!tmpfs.mounted())
            QSKIP("mounting a tmpfs was refused (needs root)");
        const QString exePath = drive + "/" + relative;
        QDir().mkpath(QFileInfo(exePath).absolutePath());
        QFile(exePath).open(QIODevice::WriteOnly);
        QFile old(drive + "/autorun.inf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200, 'x'));
        old.close();
        openWorld("E:");
        m_world->sandbox.platform.exePath = exePath.toStdString();
        TfrmOption dialog;
        QCOMPARE(autorunButton(dialog)->text(), "在驱动器" + drive + "生成autorun.inf文件");

        autorunButton(dialog)->click();

        QCOMPARE(fileContent(drive + "/autorun.inf"), content);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().type, int(mtInformation));
    }

    void autorunOnWriteProtectedDrive() {
        const QString drive = m_world->sandbox.root() + "/usb";
        TmpfsDrive tmpfs(drive);
        if (!tmpfs.mounted() || !tmpfs.makeReadOnly())
            QSKIP("mounting a read-only tmpfs was refused (needs root)");
        openWorld("E:");
        m_world->sandbox.platform.exePath = (drive + "/kelda").toStdString();
        TfrmOption dialog;

        autorunButton(dialog)->click();

        QVERIFY(!QFile::exists(drive + "/autorun.inf"));
        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().type, -2);
        QVERIFY2(messages().first().text.contains(drive + "/autorun.inf"),
                 qPrintable(messages().first().text));
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
