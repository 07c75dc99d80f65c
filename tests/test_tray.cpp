#include "AppWorld.h"
#include "uUiKit.h"
#include "udMenuItem.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

QMenu* trayMenu() {
    return frmMain->findChild<QMenu*>("PopupMenu1");
}

// Opens the menu as the tray icon does: its before-opening event rebuilds it.
void openTrayMenu() {
    emit trayMenu()->aboutToShow();
}

// The caption as the user reads it ("&&" shows as "&").
QString shownCaption(const QAction* item) {
    QString caption = item->text();
    return caption.replace("&&", "&");
}

// One line per item: "-" for a separator, " >" marks an item with a submenu.
QStringList menuShape(const QMenu* menu) {
    QStringList shape;
    for (const QAction* item : menu->actions()) {
        if (item->isSeparator())
            shape.append("-");
        else
            shape.append(shownCaption(item) + (item->menu() ? " >" : ""));
    }
    return shape;
}

QStringList fixedEnd() {
    return {"-", "设置", "退出"};
}

QAction* categoryItem(const QString& caption) {
    for (QAction* item : trayMenu()->actions())
        if (shownCaption(item) == caption)
            return item;
    qFatal("no tray menu item %s", qPrintable(caption));
}

QList<TdSubMenuItem*> programItems(const QString& category) {
    QList<TdSubMenuItem*> items;
    for (QAction* item : categoryItem(category)->menu()->actions())
        items.append(qobject_cast<TdSubMenuItem*>(item));
    return items;
}

// A picture as a 32x32 menu icon made from it yields it.
QImage asMenuPicture(const QIcon& icon) {
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}
QImage asMenuPicture(const QImage& image) {
    return asMenuPicture(QIcon(QPixmap::fromImage(image)));
}

const QRgb ProgramIconColour = qRgb(200, 0, 0);

// Names every known picture the item shows; exactly one is expected.
QString whichPicture(const QAction* item) {
    const QList<QPair<QString, QImage>> known = {
        {"missing", dm->MissingFileBitmap},
        {"bat", dm->BatFileBitmap},
        {"com", dm->ComFileBitmap},
        {"other", dm->OtherFileBitmap},
        {"own", solidIcon(ProgramIconColour)},
    };
    const QImage shown = asMenuPicture(item->icon());
    QStringList matches;
    for (const auto& [name, picture] : known)
        if (asMenuPicture(picture) == shown)
            matches.append(name);
    return matches.join(',');
}

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UiTestHooks::enable(); }
    void init() { UiTestHooks::reset(); }
    void cleanup() {
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
        QCOMPARE(UiTestHooks::pendingCount(), 0);
    }

    void withoutCategoriesOnlyTheFixedItemsFollow() {
        AppWorld world;
        world.openWindow();
        openTrayMenu();
        QCOMPARE(menuShape(trayMenu()), QStringList({frmMain->MainTitle(), "-"}) + fixedEnd());
        QVERIFY(!trayMenu()->actions().at(1)->isEnabled());
        // Both separators are drawn, not collapsed into one.
        QVERIFY(!trayMenu()->actionGeometry(trayMenu()->actions().at(1)).isEmpty());
        QVERIFY(!trayMenu()->actionGeometry(trayMenu()->actions().at(2)).isEmpty());
    }

    void categoriesBecomeSubmenusOnEveryOpening() {
        AppWorld world;
        world.openWindow();
        world.addGroup("A", 3);
        world.addGroup("R&D", 5);
        world.addGroup("工具", 7);
        world.addShortCut("A", "drive tool", "%removedrive%/x.sh", "%removedrive%/data");
        world.addShortCut("A", "batch", "/p/y.bat", "-v");
        world.addShortCut("工具", "编辑器", "/q/z.com");
        const QStringList expected =
            QStringList({frmMain->MainTitle(), "-", "A >", "R&D", "工具 >"}) + fixedEnd();

        for (int opening = 0; opening < 2; ++opening) {
            openTrayMenu();
            QCOMPARE(menuShape(trayMenu()), expected);
            QCOMPARE(menuShape(categoryItem("A")->menu()), QStringList({"drive tool", "batch"}));
            QCOMPARE(menuShape(categoryItem("工具")->menu()), QStringList({"编辑器"}));
        }
        const QList<TdSubMenuItem*> items = programItems("A");
        QVERIFY(items.at(0) && items.at(1));
        QCOMPARE(items.at(0)->FileName, QString("%removedrive%/x.sh"));
        QCOMPARE(items.at(0)->Parameters, QString("%removedrive%/data"));
        QCOMPARE(items.at(1)->FileName, QString("/p/y.bat"));
        QCOMPARE(items.at(1)->Parameters, QString("-v"));
        QCOMPARE(asMenuPicture(categoryItem("R&D")->icon()),
                 asMenuPicture(dm->ImageList1.Image(5)));
        QCOMPARE(asMenuPicture(categoryItem("工具")->icon()),
                 asMenuPicture(dm->ImageList1.Image(7)));

        categoryItem("R&D")->trigger(); // a plain item: nothing happens
    }

    void pictureFollowsTheProgramFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("onDisk"); // "file", "folder" or "none"
        QTest::addColumn<QString>("picture");
        QTest::newRow("missing exe") << "tool.exe"
                                     << "none"
                                     << "missing";
        QTest::newRow("folder named exe") << "tool.exe"
                                          << "folder"
                                          << "missing";
        QTest::newRow("exe in capitals") << "TOOL.EXE"
                                         << "file"
                                         << "own";
        QTest::newRow("bat") << "a.bat"
                             << "file"
                             << "bat";
        QTest::newRow("missing bat") << "a.bat"
                                     << "none"
                                     << "missing";
        QTest::newRow("com in capitals") << "b.COM"
                                         << "file"
                                         << "com";
        QTest::newRow("cmd") << "c.cmd"
                             << "file"
                             << "other";
        QTest::newRow("no extension") << "tool"
                                      << "file"
                                      << "other";
    }
    void pictureFollowsTheProgramFile() {
        QFETCH(QString, name);
        QFETCH(QString, onDisk);
        QFETCH(QString, picture);
        AppWorld world;
        world.openWindow();
        const QString path = world.sandbox.root() + "/p/" + name;
        if (onDisk == "file")
            world.sandbox.writeFile("p/" + name);
        else if (onDisk == "folder")
            QDir().mkpath(path);
        world.addGroup("G");
        world.addShortCut("G", "program", path, QString(), solidIcon(ProgramIconColour));
        openTrayMenu();
        QCOMPARE(whichPicture(programItems("G").at(0)), picture);
    }

    void pictureFollowsChangesBetweenOpenings() {
        AppWorld world;
        world.openWindow();
        const QString vanishing = world.sandbox.writeFile("p/a.bat");
        world.addGroup("G");
        world.addShortCut("G", "a", vanishing);
        world.addShortCut("G", "b", world.sandbox.root() + "/p/b.com");
        openTrayMenu();
        QCOMPARE(whichPicture(programItems("G").at(0)), QString("bat"));
        QCOMPARE(whichPicture(programItems("G").at(1)), QString("missing"));
        QFile::remove(vanishing);
        world.sandbox.writeFile("p/b.com");
        openTrayMenu();
        QCOMPARE(whichPicture(programItems("G").at(0)), QString("missing"));
        QCOMPARE(whichPicture(programItems("G").at(1)), QString("com"));
    }

    void showMainItemFollowsTheDriveVariable() {
        AppWorld world;
        qputenv("removedrive", "E:");
        world.openWindow();
        openTrayMenu();
        const QAction* showMain = trayMenu()->actions().first();
        QCOMPARE(shownCaption(showMain), QString("kelda portable drive:E"));
        QCOMPARE(showMain->statusTip(), QString("启动KELDA主界面"));
        qputenv("removedrive", "F:");
        openTrayMenu();
        QCOMPARE(shownCaption(trayMenu()->actions().first()), QString("kelda portable drive:F"));
        QCOMPARE(frmMain->windowTitle(), QString("kelda portable drive:E"));
    }

    void showMainBringsTheWindowBack_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("menu item") << true;
        QTest::newRow("icon click") << false;
    }
    void showMainBringsTheWindowBack() {
        QFETCH(bool, fromMenu);
        AppWorld world;
        world.openWindow();
        frmMain->setWindowState(Qt::WindowMinimized);
        frmMain->hide();
        if (fromMenu) {
            openTrayMenu();
            trayMenu()->actions().first()->trigger();
        } else {
            frmMain->CoolTrayIcon1Click();
        }
        QVERIFY(frmMain->isVisible());
        QVERIFY(!frmMain->isMinimized());
    }

    // The stored path goes to the launch unexpanded, so the drive of the moment counts.
    void choosingAProgramStartsItOnTheDriveOfTheMoment() {
        AppWorld world;
        const QString first = world.sandbox.root() + "/first";
        const QString second = world.sandbox.root() + "/second";
        for (const QString& drive : {first, second}) {
            QDir().mkpath(drive + "/Apps");
            writeRecorderScript(drive + "/Apps/run.sh", drive + "/out.txt");
        }
        qputenv("removedrive", first.toLocal8Bit());
        world.openWindow();
        world.addGroup("G");
        world.addShortCut("G", "run", "%removedrive%/Apps/run.sh", "%removedrive%/data");
        openTrayMenu();
        TdSubMenuItem* item = programItems("G").at(0);

        for (const QString& drive : {second, first}) {
            qputenv("removedrive", drive.toLocal8Bit());
            item->trigger();
            const QString output = drive + "/out.txt";
            QTRY_COMPARE_WITH_TIMEOUT(recordedLines(output).size(), 2, 10000);
            QCOMPARE(recordedLines(output),
                     QStringList({QDir(drive + "/Apps").canonicalPath(), drive + "/data"}));
        }
    }

    void startUpQuestionReadsMin_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("showsWindow");
        QTest::newRow("1") << "1" << true << false;
        QTest::newRow("0") << "0" << true << true;
        QTest::newRow("empty") << "" << true << true;
        QTest::newRow("blank before 1") << " 1" << true << true;
        QTest::newRow("other word") << "yes" << true << true;
        QTest::newRow("missing") << "" << false << true;
    }
    void startUpQuestionReadsMin() {
        QFETCH(QString, value);
        QFETCH(bool, stored);
        QFETCH(bool, showsWindow);
        AppWorld world;
        world.openWindow();
        if (stored)
            platform().writeSetting("min", value.toStdString());
        bool showMainForm = true;
        frmMain->CoolTrayIcon1Startup(showMainForm);
        QCOMPARE(showMainForm, showsWindow);
    }

    // Without a notification area nothing could bring a hidden window back.
    void startsHiddenOnlyWhenATrayExists() {
        AppWorld world;
        platform().writeSetting("min", "1");
        world.openWindow();
        QCOMPARE(frmMain->ShowMainFormAtStart(), !QSystemTrayIcon::isSystemTrayAvailable());
    }

    void minimisingHidesTheWindowInTheTray() {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("no notification area on this display");
        AppWorld world;
        world.openWindow();
        frmMain->showMinimized();
        QTRY_VERIFY(!frmMain->isVisible());
    }

    void minimisingWithoutATrayKeepsTheWindow() {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("a notification area exists on this display");
        AppWorld world;
        world.openWindow();
        frmMain->showMinimized();
        QTest::qWait(50);
        QVERIFY(frmMain->isVisible());
    }
};

QTEST_MAIN(TrayTest)
#include "test_tray.moc"
