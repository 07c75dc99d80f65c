#include "AppWorld.h"
#include "uUiKit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// The real platform, except that the shell's "open" is only recorded: the tests must not
// bring up a file manager.
class RecordingPlatform : public TestPlatform {
public:
    struct ShellCall {
        std::string file;
        std::string parameters;
        std::string workingFolder;
        ShowCommand show;
    };
    std::vector<ShellCall> calls;

    void shellOpen(const std::string& file, const std::string& parameters,
                   const std::string& workingFolder, ShowCommand show) override {
        calls.push_back({file, parameters, workingFolder, show});
    }
};

// The main window on a real store, with the recording platform installed. The recorder
// outlives the world, whose sandbox puts the platform back on destruction.
struct CommandWorld {
    RecordingPlatform recorder;
    AppWorld world;

    CommandWorld() {
        recorder.exePath = world.sandbox.exePath().toStdString();
        setPlatform(&recorder);
        world.openWindow();
    }

    QString root() const { return world.sandbox.root(); }
    // Stores a shortcut whose program exists in the sandbox; returns the program's path.
    QString addProgram(const QString& group, const QString& display, const QString& relativePath) {
        const QString path = world.sandbox.writeFile(relativePath);
        world.addShortCut(group, display, path);
        return path;
    }
    // Rebuilds the tabs from the store and selects `group`.
    void showGroup(const QString& group) {
        frmMain->LoadGroupTabs();
        world.clickTab(group);
    }
    void select(const QList<int>& rows) {
        for (int row : rows)
            world.list()->item(row)->setSelected(true);
    }
    int imageOf(int row) const {
        return world.list()->item(row)->data(TfrmMain::ImageIndexRole).toInt();
    }
};

using Shown = QList<QPair<QString, int>>;

Shown shownMessages() {
    Shown shown;
    for (const UiTestHooks::ShownMessage& message : UiTestHooks::shownMessages())
        shown.append({message.text, message.type});
    return shown;
}

void queueAnswers(const QList<int>& answers) {
    for (int answer : answers)
        UiTestHooks::queueAnswer(answer);
}

QStringList storedDisplayNames(const QString& group) {
    QStringList names;
    for (const TQShortCut& record : storedShortCuts(group))
        names.append(record.DisplayName);
    return names;
}

const QString PhysicalDeleteQuestion =
    QStringLiteral(" 确定物理删除选中的快速启动项目？物理删除将删除应用程序所在目录所有文件！");

QString folderQuestion(const QString& folder) {
    return QStringLiteral("确定删除目录") + folder + '?';
}

QString folderFailure(const QString& folder) {
    return QStringLiteral("删除目录[") + folder + QStringLiteral("]失败！");
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UiTestHooks::enable(); }
    void init() { UiTestHooks::reset(); }
    void cleanup() { QCOMPARE(UiTestHooks::pendingCount(), 0); }

    void deleteCategoryWithoutCurrentCategoryAsksNothing() {
        CommandWorld w;
        w.world.addGroup("A");
        frmMain->LoadGroupTabs();
        frmMain->ActionDelGroupExecute();
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
        QCOMPARE(w.world.tabNames(), QStringList({"A"}));
    }

    void deleteCategoryAnsweredNoKeepsIt() {
        CommandWorld w;
        w.world.addGroup("A");
        w.showGroup("A");
        queueAnswers({mrNo});
        frmMain->ActionDelGroupExecute();
        QCOMPARE(shownMessages(), Shown({{"确定要删除分类[A]", mtConfirmation}}));
        QCOMPARE(storedGroupNames(), QStringList({"A"}));
        QCOMPARE(frmMain->CurrentGroupName(), QString("A"));
    }

    void deleteCategoryKeepsItsShortCutsForALaterOne() {
        CommandWorld w;
        w.world.addGroup("A");
        w.world.addGroup("工具");
        w.addProgram("工具", "one", "p/one.sh");
        w.addProgram("工具", "two", "p/two.sh");
        w.showGroup("工具");
        queueAnswers({mrYes});
        frmMain->ActionDelGroupExecute();

        QCOMPARE(shownMessages(), Shown({{"确定要删除分类[工具]", mtConfirmation}}));
        QCOMPARE(w.world.tabNames(), QStringList({"A"}));
        QVERIFY(w.world.tabs()->selectedItems().isEmpty());
        QCOMPARE(w.world.listCaptions(), QStringList({"one", "two"}));
        QCOMPARE(storedDisplayNames("工具"), QStringList({"one", "two"}));

        w.world.addGroup("工具");
        w.showGroup("工具");
        QCOMPARE(w.world.listCaptions(), QStringList({"one", "two"}));
    }

    void deleteShortCutsAsksOnceAndRemovesAllSelected() {
        CommandWorld w;
        w.world.addGroup("G");
        for (const char* name : {"a", "b", "c", "d"})
            w.addProgram("G", name, QString("p/%1.bat").arg(name));
        w.showGroup("G");
        w.select({0, 2, 3});
        queueAnswers({mrYes});
        frmMain->ActionDelScExecute();
        QCOMPARE(shownMessages(), Shown({{" 确定删除选中的快速启动项目？", mtConfirmation}}));
        QCOMPARE(storedDisplayNames("G"), QStringList({"b"}));
        QCOMPARE(w.world.listCaptions(), QStringList({"b"}));
    }

    void deleteShortCutsAnsweredNoRemovesNothingButReloads() {
        CommandWorld w;
        w.world.addGroup("G");
        const QString vanishing = w.addProgram("G", "a", "p/a.bat");
        w.addProgram("G", "b", "p/b.bat");
        w.showGroup("G");
        QCOMPARE(w.imageOf(0), int(PictureBat));
        QFile::remove(vanishing);
        w.select({0, 1});
        queueAnswers({mrNo});
        frmMain->ActionDelScExecute();
        QCOMPARE(UiTestHooks::shownMessages().size(), 1);
        QCOMPARE(storedDisplayNames("G"), QStringList({"a", "b"}));
        QCOMPARE(w.world.listCaptions(), QStringList({"a", "b"}));
        QCOMPARE(w.imageOf(0), int(PictureMissing));
    }

    // A store failure ends the command where it occurs: later items stay, no reload.
    void deleteShortCutsStopsAtAStoreFailure() {
        CommandWorld w;
        w.world.addGroup("G");
        for (const char* name : {"a", "b", "c"})
            w.addProgram("G", name, QString("p/%1.bat").arg(name));
        w.showGroup("G");
        w.select({0, 1, 2});
        dm->DeleteShortCut(*frmMain->SelectedShortCuts().at(1));
        queueAnswers({mrYes});
        frmMain->findChild<QAction*>("ActionDelSc")->trigger();
        QCOMPARE(shownMessages(), Shown({{" 确定删除选中的快速启动项目？", mtConfirmation},
                                         {"Update failed.", -2}}));
        QCOMPARE(storedDisplayNames("G"), QStringList({"c"}));
        QCOMPARE(w.world.listCaptions(), QStringList({"a", "b", "c"}));
    }

    void commandsWithoutSelectionDoNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("delete") << "ActionDelSc";
        QTest::newRow("physical delete") << "ActionDeltree";
        QTest::newRow("open folder") << "ActionOpenFolder";
    }
    void commandsWithoutSelectionDoNothing() {
        QFETCH(QString, action);
        CommandWorld w;
        w.world.addGroup("G");
        const QString vanishing = w.addProgram("G", "a", "p/a.bat");
        w.showGroup("G");
        QFile::remove(vanishing);
        frmMain->findChild<QAction*>(action)->trigger();
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
        QCOMPARE(storedDisplayNames("G"), QStringList({"a"}));
        QCOMPARE(w.imageOf(0), int(PictureBat)); // not reloaded
        QVERIFY(w.recorder.calls.empty());
    }

    void physicalDeleteFollowsTheAnswers_data() {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("shortCutKept");
        QTest::addColumn<bool>("folderKept");
        QTest::newRow("no at first") << QList<int>{mrNo} << true << true;
        QTest::newRow("no at folder") << QList<int>{mrYes, mrNo} << false << true;
        QTest::newRow("yes at folder") << QList<int>{mrYes, mrYes} << false << false;
    }
    void physicalDeleteFollowsTheAnswers() {
        QFETCH(QList<int>, answers);
        QFETCH(bool, shortCutKept);
        QFETCH(bool, folderKept);
        CommandWorld w;
        w.world.addGroup("G");
        w.addProgram("G", "tool", "Apps/Tool/tool.sh");
        w.world.sandbox.writeFile("Apps/Tool/sub/data.txt");
        w.addProgram("G", "other", "Other/other.sh");
        w.showGroup("G");
        w.select({0});
        queueAnswers(answers);
        frmMain->ActionDeltreeExecute();

        const QString folder = w.root() + "/Apps/Tool/";
        Shown expected = {{PhysicalDeleteQuestion, mtConfirmation}};
        if (answers.size() > 1)
            expected.append({folderQuestion(folder), mtConfirmation});
        QCOMPARE(shownMessages(), expected);
        const QStringList kept = shortCutKept ? QStringList{"tool", "other"} : QStringList{"other"};
        QCOMPARE(storedDisplayNames("G"), kept);
        QCOMPARE(w.world.listCaptions(), kept);
        QCOMPARE(QFileInfo::exists(folder), folderKept);
        QVERIFY(QFileInfo::exists(w.root() + "/Other/other.sh"));
    }

    void physicalDeleteOfASharedFolderFailsTheSecondTime() {
        CommandWorld w;
        w.world.addGroup("G");
        w.addProgram("G", "a", "Apps/Both/a.sh");
        w.addProgram("G", "b", "Apps/Both/b.sh");
        w.showGroup("G");
        w.select({0, 1});
        queueAnswers({mrYes, mrYes, mrYes});
        frmMain->ActionDeltreeExecute();
        const QString folder = w.root() + "/Apps/Both/";
        QCOMPARE(shownMessages(), Shown({{PhysicalDeleteQuestion, mtConfirmation},
                                         {folderQuestion(folder), mtConfirmation},
                                         {folderQuestion(folder), mtConfirmation},
                                         {folderFailure(folder), mtError}}));
        QVERIFY(storedDisplayNames("G").isEmpty());
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(QFileInfo::exists(w.root() + "/Apps"));
    }

    void physicalDeleteOfABareFileNameDeletesNothing() {
        CommandWorld w;
        w.world.addGroup("G");
        w.world.addShortCut("G", "bare", "tool.bat");
        w.showGroup("G");
        w.select({0});
        queueAnswers({mrYes, mrYes});
        frmMain->ActionDeltreeExecute();
        QCOMPARE(shownMessages(), Shown({{PhysicalDeleteQuestion, mtConfirmation},
                                         {"确定删除目录?", mtConfirmation},
                                         {"删除目录[]失败！", mtError}}));
        QVERIFY(storedDisplayNames("G").isEmpty());
        QVERIFY(QFileInfo::exists(w.world.sandbox.exeDir()));
    }

    void physicalDeleteWorksOnTheDriveTheVariableNames() {
        CommandWorld w;
        const QString drive = w.root() + "/drive";
        w.world.sandbox.writeFile("drive/Apps/Tool/tool.sh");
        w.world.sandbox.writeFile("drive/keep.txt");
        qputenv("removedrive", drive.toLocal8Bit());
        w.world.addGroup("G");
        w.world.addShortCut("G", "tool", "%removedrive%/Apps/Tool/tool.sh");
        w.showGroup("G");
        QCOMPARE(w.imageOf(0), int(PictureOther));
        w.select({0});
        queueAnswers({mrYes, mrYes});
        frmMain->ActionDeltreeExecute();
        QCOMPARE(shownMessages(), Shown({{PhysicalDeleteQuestion, mtConfirmation},
                                         {folderQuestion(drive + "/Apps/Tool/"), mtConfirmation}}));
        QVERIFY(!QFileInfo::exists(drive + "/Apps/Tool"));
        QVERIFY(QFileInfo::exists(drive + "/keep.txt"));
    }

    void openFolderOpensAnExistingFolderOnly_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("opened"); // relative to the sandbox; empty: nothing opened
        QTest::newRow("existing") << "ROOT/Apps/Tool/tool.sh"
                                  << "/Apps/Tool/";
        QTest::newRow("drive variable") << "%removedrive%/Apps/Tool/tool.sh"
                                        << "/Apps/Tool/";
        QTest::newRow("folder missing") << "ROOT/Gone/tool.sh"
                                        << "";
        QTest::newRow("bare file name") << "tool.sh"
                                        << "";
    }
    void openFolderOpensAnExistingFolderOnly() {
        QFETCH(QString, stored);
        QFETCH(QString, opened);
        CommandWorld w;
        w.world.sandbox.writeFile("Apps/Tool/tool.sh");
        qputenv("removedrive", w.root().toLocal8Bit());
        w.world.addGroup("G");
        w.world.addShortCut("G", "tool", stored.replace("ROOT", w.root()));
        w.showGroup("G");
        w.select({0});
        frmMain->ActionOpenFolderExecute();
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
        if (opened.isEmpty()) {
            QVERIFY(w.recorder.calls.empty());
            return;
        }
        QCOMPARE(int(w.recorder.calls.size()), 1);
        const RecordingPlatform::ShellCall& call = w.recorder.calls.front();
        QCOMPARE(QString::fromStdString(call.file), w.root() + opened);
        QVERIFY(call.parameters.empty());
        QVERIFY(call.workingFolder.empty());
        QCOMPARE(call.show, ShowNormal);
        QCOMPARE(storedDisplayNames("G"), QStringList({"tool"}));
    }

    void openFolderOpensTheFirstSelectedOnesFolder() {
        CommandWorld w;
        w.world.addGroup("G");
        w.addProgram("G", "a", "A/a.sh");
        w.addProgram("G", "b", "B/b.sh");
        w.addProgram("G", "c", "C/c.sh");
        w.showGroup("G");
        w.select({2, 1});
        frmMain->ActionOpenFolderExecute();
        QCOMPARE(int(w.recorder.calls.size()), 1);
        QCOMPARE(QString::fromStdString(w.recorder.calls.front().file), w.root() + "/B/");
    }

    void refreshWithoutTabLeavesTheListUnchanged() {
        CommandWorld w;
        w.world.addGroup("G");
        const QString vanishing = w.addProgram("G", "a", "p/a.bat");
        w.showGroup("G");
        queueAnswers({mrYes});
        frmMain->ActionDelGroupExecute();
        QFile::remove(vanishing);
        w.addProgram("G", "b", "p/b.bat");
        frmMain->ActionRefreshExecute();
        QCOMPARE(w.world.listCaptions(), QStringList({"a"}));
        QCOMPARE(w.imageOf(0), int(PictureBat));

        w.world.addGroup("G");
        w.showGroup("G");
        w.addProgram("G", "c", "p/c.bat");
        frmMain->ActionRefreshExecute();
        QCOMPARE(w.world.listCaptions(), QStringList({"a", "b", "c"}));
        QCOMPARE(w.imageOf(0), int(PictureMissing));
    }
};

QTEST_MAIN(CommandsTest)
#include "test_commands.moc"
