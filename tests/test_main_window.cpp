#include "AppWorld.h"
#include "KeldaError.h"
#include "uEnvironment.h"
#include "uUiKit.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    static int imageOf(const QListWidgetItem* item) {
        return item->data(TfrmMain::ImageIndexRole).toInt();
    }

private slots:
    void initTestCase() { UiTestHooks::enable(); }

    void startsWithTabsInOrderAndNothingSelected() {
        AppWorld world;
        world.addGroup("Tools", 3);
        world.addGroup("工具", 7);
        world.openWindow();
        QCOMPARE(world.tabNames(), QStringList({"Tools", "工具"}));
        QVERIFY(world.tabs()->selectedItems().isEmpty());
        QCOMPARE(frmMain->CurrentGroupName(), QString());
        QCOMPARE(world.list()->count(), 0);
        QCOMPARE(statusText(), QString());
    }

    void windowLayout() {
        AppWorld world;
        world.openWindow();
        QCOMPARE(frmMain->size(), QSize(800, 600));
        const QStringList toolbar = {"RzToolButton7",    "RzToolButtonDelShortCutGroup",
                                     "RzSpacer1",        "RzToolButtonNew",
                                     "RzToolButtonEdit", "RzToolButtonDel",
                                     "RzToolButton5",    "RzToolButton3",
                                     "RzSpacer2",        "RzToolButton2",
                                     "RzToolButton1",    "RzToolButton4"};
        int previousX = -1;
        for (const QString& name : toolbar) {
            QWidget* widget = frmMain->findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            QVERIFY2(widget->x() > previousX, qPrintable(name + " out of order"));
            previousX = widget->x();
        }
        QCOMPARE(frmMain->findChild<QToolButton*>("RzToolButton5")->width(), 92);
        QCOMPARE(frmMain->findChild<QToolButton*>("RzToolButtonNew")->width(), 68);
        const QList<QAction*> actions = frmMain->findChild<QActionGroup*>("ActionList1")->actions();
        QCOMPARE(actions.size(), 12);
        for (const QAction* action : actions)
            QVERIFY(action->isEnabled() && action->isVisible());
    }

    void titleShowsTheDriveLetter_data() {
        QTest::addColumn<QByteArray>("drive");
        QTest::addColumn<QString>("title");
        QTest::newRow("E:") << QByteArray("E:") << "kelda portable drive:E";
        QTest::newRow("empty") << QByteArray("") << "kelda portable drive:";
    }
    void titleShowsTheDriveLetter() {
        QFETCH(QByteArray, drive);
        QFETCH(QString, title);
        AppWorld world;
        qputenv("removedrive", drive);
        world.openWindow();
        QCOMPARE(frmMain->windowTitle(), title);
    }

    void picturesFollowExtensionAndExistence() {
        AppWorld world;
        world.addGroup("G");
        const QString dir = world.sandbox.root() + "/progs/";
        const struct {
            const char* name;
            bool exists;
            int image;
        } cases[] = {
            {"a.bat", true, PictureBat},       {"B.BAT", true, PictureBat},
            {"c.com", true, PictureCom},       {"d.cmd", true, PictureOther},
            {"e", true, PictureOther},         {"f.exe", false, PictureMissing},
            {"g.txt", false, PictureMissing},  {"h.exe", true, PictureOther},
            {"I.EXE", true, PictureOther + 1},
        };
        for (const auto& c : cases) {
            if (c.exists)
                world.sandbox.writeFile(QString("progs/") + c.name);
            const bool withIcon = QString(c.name) == "I.EXE";
            world.addShortCut("G", c.name, dir + c.name, QString(),
                              withIcon ? solidIcon(qRgb(200, 0, 0)) : QImage());
        }
        QDir().mkpath(dir + "folder.exe");
        world.addShortCut("G", "folder.exe", dir + "folder.exe");
        world.openWindow();
        world.clickTab("G");
        QCOMPARE(world.list()->count(), int(std::size(cases)) + 1);
        for (int row = 0; row < world.list()->count(); ++row) {
            const QListWidgetItem* item = world.list()->item(row);
            const auto expected = std::find_if(std::begin(cases), std::end(cases),
                                               [&](auto& c) { return item->text() == c.name; });
            const int image = expected == std::end(cases) ? PictureMissing : expected->image;
            QVERIFY2(imageOf(item) == image, qPrintable(item->text()));
        }
    }

    void listComesInFileNameOrder() {
        AppWorld world;
        world.addGroup("G");
        world.addShortCut("G", "zeta", "/p/b");
        world.addShortCut("G", "alpha", "/p/c");
        world.addShortCut("G", "mid", "/p/a");
        world.openWindow();
        world.clickTab("G");
        QCOMPARE(world.listCaptions(), QStringList({"mid", "zeta", "alpha"}));
    }

    void secondClickRetestsTheFiles() {
        AppWorld world;
        world.addGroup("G");
        const QString appeared = world.sandbox.root() + "/later.bat";
        const QString vanishing = world.sandbox.writeFile("gone.com");
        world.addShortCut("G", "later", appeared);
        world.addShortCut("G", "gone", vanishing);
        world.openWindow();
        world.clickTab("G");
        QCOMPARE(imageOf(world.list()->item(1)), int(PictureMissing));
        QCOMPARE(imageOf(world.list()->item(0)), int(PictureCom));
        world.sandbox.writeFile("later.bat");
        QFile::remove(vanishing);
        world.clickTab("G");
        QCOMPARE(imageOf(world.list()->item(1)), int(PictureBat));
        QCOMPARE(imageOf(world.list()->item(0)), int(PictureMissing));
    }

    void exeIconsAreCutBackBeforeEveryFill() {
        AppWorld world;
        world.addGroup("G");
        for (const char* name : {"a.exe", "b.exe", "c.exe"})
            world.addShortCut("G", name, world.sandbox.writeFile(name), QString(),
                              solidIcon(qRgb(0, 0, 255)));
        world.openWindow();
        world.clickTab("G");
        QCOMPARE(dm->ImageList2.Count(), 7);
        world.clickTab("G");
        QCOMPARE(dm->ImageList2.Count(), 7);
        QCOMPARE(imageOf(world.list()->item(2)), 6);
    }

    void refreshWithoutSelectedTabKeepsTheList() {
        AppWorld world;
        world.addGroup("G");
        world.addShortCut("G", "one", "/nowhere/one.exe");
        world.openWindow();
        world.clickTab("G");
        frmMain->LoadGroupTabs();
        QVERIFY(world.tabs()->selectedItems().isEmpty());
        frmMain->RefreshCurrentGroup();
        QCOMPARE(world.listCaptions(), QStringList({"one"}));
    }

    void draggedTabOrderIsStoredAndKept() {
        AppWorld world;
        for (const char* name : {"A", "B", "C"})
            world.addGroup(name);
        world.openWindow();
        world.tabs()->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0);
        QCOMPARE(world.tabNames(), QStringList({"C", "A", "B"}));
        world.openWindow();
        QCOMPARE(world.tabNames(), QStringList({"C", "A", "B"}));
    }

    void statusDescribesTheItemUnderTheMouse() {
        AppWorld world;
        world.addGroup("G");
        const QString withParameters = world.sandbox.writeFile("x.exe");
        const QString plain = world.sandbox.writeFile("y.exe");
        const QString missing = world.sandbox.root() + "/z.exe";
        world.addShortCut("G", "x", withParameters, "-portable");
        world.addShortCut("G", "y", plain);
        world.addShortCut("G", "z", missing);
        world.openWindow();
        world.clickTab("G");
        const auto hover = [&](int row) {
            frmMain->RzListView1MouseMove(
                world.list()->visualItemRect(world.list()->item(row)).center());
            return statusText();
        };
        QCOMPARE(hover(0), withParameters + " -portable");
        QCOMPARE(hover(1), plain + " ");
        QCOMPARE(hover(2), missing + "不存在!");
        frmMain->RzListView1MouseMove(
            QPoint(world.list()->viewport()->width() - 2, world.list()->viewport()->height() - 2));
        QCOMPARE(statusText(), QString());
    }

    void doubleClickStartsOnlyAnExistingProgram() {
        AppWorld world;
        world.addGroup("G");
        const QString output = world.sandbox.root() + "/ran.txt";
        QDir().mkpath(world.sandbox.root() + "/tools");
        const QString script = writeRecorderScript(world.sandbox.root() + "/tools/run.sh", output);
        world.addShortCut("G", "gone", world.sandbox.root() + "/tools/gone.sh");
        world.addShortCut("G", "run", script, "-x");
        world.openWindow();
        world.clickTab("G");
        world.list()->item(0)->setSelected(true);
        frmMain->RzListView1DblClick();
        QTest::qWait(300);
        QVERIFY(!QFile::exists(output));
        world.list()->clearSelection();
        world.list()->item(1)->setSelected(true);
        frmMain->RzListView1DblClick();
        QTRY_COMPARE(recordedLines(output), QStringList({world.sandbox.root() + "/tools", "-x"}));
    }

    void errorDisplayAppendsAFullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Update failed"
                                << "Update failed.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "Oops!"
                                     << "Oops!";
        QTest::newRow("slash, code 47") << "Cannot create E:/"
                                        << "Cannot create E:/.";
        QTest::newRow("chinese") << "删除失败"
                                 << "删除失败.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorDisplayAppendsAFullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorDisplayText(message), shown);
    }

    void anExceptionInAHandlerIsShownAndTheProgramGoesOn() {
        UiTestHooks::reset();
        bool after = false;
        Guarded([] { throw KeldaError("Update failed"); });
        Guarded([] { throw std::out_of_range("index out of range"); });
        Guarded([&] { after = true; });
        QVERIFY(after);
        const QList<UiTestHooks::ShownMessage>& shown = UiTestHooks::shownMessages();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).text, QString("Update failed."));
        QCOMPARE(shown.at(1).text, QString("index out of range."));
        QCOMPARE(shown.at(0).type, -2);
        QCOMPARE(shown.at(1).type, -2);
    }

    void aFailingStoreStillBringsTheWindowUp() {
        TestSandbox sandbox;
        sandbox.writeFile("app/data", "a file where the data folder belongs");
        UiTestHooks::reset();
        dm = new Tdm;
        Guarded([] { dm->DataModuleCreate(); });
        frmMain = new TfrmMain;
        QVERIFY(UiTestHooks::shownMessages().size() >= 1);
        QCOMPARE(UiTestHooks::shownMessages().first().text,
                 "Cannot create " + sandbox.exeDir() + "/data.");
        QVERIFY(frmMain->windowTitle().startsWith("kelda portable drive:"));
        delete frmMain;
        frmMain = nullptr;
        delete dm;
        dm = nullptr;
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
