#include "TestSupport.h"
#include "uDataModule.h"
#include "uEnvironment.h"
#include "uFrmMain.h"
#include "uFrmShortcut.h"
#include "uUiKit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

template <typename T> T* widget(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr)
        qFatal("widget %s not found", name);
    return found;
}

QLineEdit* edit(QDialog& dialog, const char* name) {
    return widget<QLineEdit>(dialog, name);
}
QComboBox* categories(QDialog& dialog) {
    return widget<QComboBox>(dialog, "RzComboBox1");
}
QPushButton* replaceButton(QDialog& dialog) {
    return widget<QPushButton>(dialog, "RzButton2");
}
QString memoText(QDialog& dialog) {
    return widget<QPlainTextEdit>(dialog, "RzMemo1")->toPlainText();
}

// Presses the dialog's real OK button; the result tells whether the dialog closed.
int pressOk(QDialog& dialog) {
    widget<QDialogButtonBox>(dialog, "RzDialogButtons1")->button(QDialogButtonBox::Ok)->click();
    return dialog.result() == QDialog::Accepted ? mrOk : mrCancel;
}

int pressCancel(QDialog& dialog) {
    widget<QDialogButtonBox>(dialog, "RzDialogButtons1")->button(QDialogButtonBox::Cancel)->click();
    return mrCancel;
}

void fill(QDialog& dialog, const QString& name, const QString& file,
          const QString& parameters = {}) {
    edit(dialog, "RzEditText")->setText(name);
    edit(dialog, "RzEditFile")->setText(file);
    edit(dialog, "RzEditParameters")->setText(parameters);
}

QStringList messageTexts() {
    QStringList texts;
    for (const UiTestHooks::ShownMessage& message : UiTestHooks::shownMessages())
        texts.append(message.text);
    return texts;
}

} // namespace

class TestShortcutEditor : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSandbox> m_sandbox;

    void addGroups(const QStringList& names) {
        for (const QString& name : names) {
            TQShortCutGroup group;
            group.GroupName = name;
            dm->AddGroup(group);
        }
        frmMain->LoadGroupTabs();
    }

    void addShortCut(const QString& group, const QString& name, const QString& file) {
        TQShortCut record;
        record.GroupName = group;
        record.DisplayName = name;
        record.FileName = file;
        dm->AddShortCut(record);
    }

    QListWidget* mainList() const { return widget<QListWidget>(*frmMain, "RzListView1"); }

    void selectTab(const QString& name) {
        QListWidget* tabs = widget<QListWidget>(*frmMain, "RzTabControl1");
        const QList<QListWidgetItem*> found = tabs->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        tabs->setCurrentItem(found.first());
        frmMain->RzTabControl1TabClick();
    }

    TQShortCutList storedShortCuts(const QString& group) const {
        TQShortCutList list;
        dm->LoadShortCuts(group, list);
        return list;
    }

    // The stored record with `fileName`, or an empty one.
    TQShortCut storedShortCut(const QString& group, const QString& fileName) const {
        for (const TQShortCut& record : storedShortCuts(group))
            if (record.FileName == fileName)
                return record;
        return {};
    }

private slots:
    void initTestCase() { UiTestHooks::enable(); }

    void init() {
        UiTestHooks::reset();
        m_sandbox = std::make_unique<TestSandbox>();
        qputenv("removedrive", "E:");
        dm = new Tdm;
        dm->DataModuleCreate();
        frmMain = new TfrmMain;
    }

    void cleanup() {
        QCOMPARE(UiTestHooks::pendingCount(), 0);
        delete frmMain;
        frmMain = nullptr;
        delete dm;
        dm = nullptr;
        m_sandbox.reset();
    }

    void withoutCategoriesOnlyCancelLeaves() {
        QList<int> okResults;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            fill(dialog, "Tool", "E:\\Apps\\tool.exe");
            okResults << pressOk(dialog) << pressOk(dialog);
            return pressCancel(dialog);
        });
        frmMain->ActionAddScExecute();

        QCOMPARE(okResults, QList<int>({mrCancel, mrCancel}));
        QCOMPARE(messageTexts(), QStringList({"请先建立快速启动分类", "请先建立快速启动分类"}));
        QCOMPARE(UiTestHooks::shownMessages().first().type, -1);
        QVERIFY(!dm->ShortCutExists("E:\\Apps\\tool.exe"));
    }

    void okChecksInOrderAndKeepsInput_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << ""
                                 << ""
                                 << "快速启动名称不能为空";
        QTest::newRow("no program") << "Tool"
                                    << ""
                                    << "程序不能为空";
        QTest::newRow("blanks are text") << " "
                                         << " "
                                         << "";
    }

    void okChecksInOrderAndKeepsInput() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, message);
        addGroups({"Alpha"});
        TfrmShortCut dialog;
        fill(dialog, name, file);

        const bool closed = pressOk(dialog) == mrOk;

        QCOMPARE(closed, message.isEmpty());
        QCOMPARE(messageTexts(), message.isEmpty() ? QStringList() : QStringList(message));
        QCOMPARE(edit(dialog, "RzEditText")->text(), name);
        QCOMPARE(edit(dialog, "RzEditFile")->text(), file);
    }

    void selectGroup_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selected");
        QTest::newRow("exact") << "Beta"
                               << "Beta";
        QTest::newRow("letter case ignored") << "bETA"
                                             << "Beta";
        QTest::newRow("unknown falls back to the first") << "Zeta"
                                                         << "Alpha";
        QTest::newRow("empty falls back to the first") << ""
                                                       << "Alpha";
    }

    void selectGroup() {
        QFETCH(QString, name);
        QFETCH(QString, selected);
        addGroups({"Alpha", "Beta"});
        TfrmShortCut dialog;
        dialog.SelectGroup(name);
        QCOMPARE(categories(dialog)->currentText(), selected);
        QCOMPARE(dialog.GetShortCut().GroupName, selected);
    }

    void setShortCutHasNoFallback() {
        addGroups({"Alpha", "Beta"});
        TfrmShortCut dialog;
        TQShortCut record;
        record.GroupName = "Gone";
        record.FileName = "E:\\x.exe";
        dialog.SetShortCut(record);
        QCOMPARE(categories(dialog)->currentIndex(), -1);
        QCOMPARE(dialog.GetShortCut().GroupName, QString());
    }

    void addCommandPreselects_data() {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<bool>("deleteTabCategory");
        QTest::addColumn<QString>("preselected");
        QTest::newRow("current category") << "Gamma" << false << "Gamma";
        QTest::newRow("no tab selected") << "" << false << "Alpha";
        QTest::newRow("current category gone from the store") << "Beta" << true << "Alpha";
    }

    void addCommandPreselects() {
        QFETCH(QString, tab);
        QFETCH(bool, deleteTabCategory);
        QFETCH(QString, preselected);
        addGroups({"Alpha", "Beta", "Gamma"});
        if (!tab.isEmpty())
            selectTab(tab);
        if (deleteTabCategory)
            dm->DeleteGroup(tab);

        QString shown;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            shown = categories(dialog)->currentText();
            return pressCancel(dialog);
        });
        frmMain->ActionAddScExecute();
        QCOMPARE(shown, preselected);
    }

    void browseReplacesTypedName() {
        TfrmShortCut dialog;
        edit(dialog, "RzEditText")->setText("typed before");
        const QString chosen = m_sandbox->writeFile("drive/Apps/Tool/tool.v2.exe");
        UiTestHooks::queueOpenFile(chosen);
        widget<QPushButton>(dialog, "RzButton1")->click();

        QCOMPARE(edit(dialog, "RzEditText")->text(), QString("tool.v2"));
        QCOMPARE(edit(dialog, "RzEditFile")->text(), chosen);
        QCOMPARE(memoText(dialog), chosen);
    }

    void cancelledBrowseChangesNothing() {
        TfrmShortCut dialog;
        fill(dialog, "Tool", "E:\\Apps\\tool.exe");
        UiTestHooks::queueOpenFile(QString());
        widget<QPushButton>(dialog, "RzButton1")->click();
        QCOMPARE(edit(dialog, "RzEditText")->text(), QString("Tool"));
        QCOMPARE(edit(dialog, "RzEditFile")->text(), QString("E:\\Apps\\tool.exe"));
    }

    void replaceButtonFollowsDrive_data() {
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("replaced");
        QTest::newRow("lower-case letter") << "E:"
                                           << "e:\\x.exe" << true << "%removedrive%\\x.exe";
        QTest::newRow("upper-case letter")
            << "E:"
            << "E:\\Tools\\Run.exe" << true << "%removedrive%\\Tools\\Run.exe";
        QTest::newRow("drive alone") << "E:"
                                     << "e:" << true << "%removedrive%";
        QTest::newRow("other drive") << "E:"
                                     << "F:\\x.exe" << false << "F:\\x.exe";
        QTest::newRow("already replaced")
            << "E:"
            << "%removedrive%\\x.exe" << false << "%removedrive%\\x.exe";
        QTest::newRow("letter not at the start") << "E:"
                                                 << "xe:\\x.exe" << false << "xe:\\x.exe";
        QTest::newRow("empty") << "E:"
                               << "" << false << "";
        QTest::newRow("one character") << "E:"
                                       << "e" << false << "e";
        QTest::newRow("on the mount point")
            << "/media/usb"
            << "/media/usb/Apps/x.exe" << true << "%removedrive%/Apps/x.exe";
        QTest::newRow("mount point name as a prefix only")
            << "/media/usb"
            << "/media/usb2/x.exe" << false << "/media/usb2/x.exe";
    }

    void replaceButtonFollowsDrive() {
        QFETCH(QString, drive);
        QFETCH(QString, path);
        QFETCH(bool, enabled);
        QFETCH(QString, replaced);
        qputenv("removedrive", drive.toUtf8());
        TfrmShortCut dialog;
        QVERIFY(!replaceButton(dialog)->isEnabled());

        edit(dialog, "RzEditFile")->setText(path);
        QCOMPARE(replaceButton(dialog)->isEnabled(), enabled);

        dialog.RzButton2Click();
        QCOMPARE(edit(dialog, "RzEditFile")->text(), replaced);
        QCOMPARE(memoText(dialog), replaced);
        QVERIFY(!replaceButton(dialog)->isEnabled());
    }

    void parametersRefreshMemoAndButton() {
        TfrmShortCut dialog;
        edit(dialog, "RzEditFile")->setText("F:\\x.exe");
        QVERIFY(!replaceButton(dialog)->isEnabled());
        widget<QPlainTextEdit>(dialog, "RzMemo1")->setPlainText("stale");
        qputenv("removedrive", "F:");

        QTest::keyClicks(edit(dialog, "RzEditParameters"), "-portable");

        QCOMPARE(memoText(dialog), QString("F:\\x.exe"));
        QVERIFY(replaceButton(dialog)->isEnabled());
    }

    void modeSetsCaptionAndLocks_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("pathEditable");
        QTest::newRow("new") << TfrmShortCut::ModeNew << "新建快速启动项目" << true;
        QTest::newRow("edit") << TfrmShortCut::ModeEdit << "修改快速启动项目" << false;
    }

    void modeSetsCaptionAndLocks() {
        QFETCH(int, mode);
        QFETCH(QString, caption);
        QFETCH(bool, pathEditable);
        TfrmShortCut dialog;
        QCOMPARE(dialog.windowTitle(), QString("快速启动"));
        dialog.SetMode(mode);
        QCOMPARE(dialog.windowTitle(), caption);
        QCOMPARE(edit(dialog, "RzEditFile")->isEnabled(), pathEditable);
        QCOMPARE(widget<QPushButton>(dialog, "RzButton1")->isEnabled(), pathEditable);
        QCOMPARE(replaceButton(dialog)->isHidden(), !pathEditable);
    }

    void addCommandStores_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("duplicate");
        QTest::newRow("new program") << "E:\\Apps\\new.exe" << false;
        QTest::newRow("same path") << "E:\\Apps\\x.exe" << true;
        QTest::newRow("same program through the variable") << "%removedrive%\\Apps\\x.exe" << false;
    }

    void addCommandStores() {
        QFETCH(QString, file);
        QFETCH(bool, duplicate);
        addGroups({"Alpha", "Beta"});
        addShortCut("Beta", "Stored", "E:\\Apps\\x.exe");
        selectTab("Beta");
        QCOMPARE(mainList()->count(), 1);

        UiTestHooks::queueDialog([&](QDialog& dialog) {
            fill(dialog, "Added", file, "-p");
            return pressOk(dialog);
        });
        frmMain->ActionAddScExecute();

        QCOMPARE(messageTexts(), duplicate ? QStringList("已经存在的应用程序！") : QStringList());
        if (duplicate)
            QCOMPARE(UiTestHooks::shownMessages().first().type, int(mtWarning));
        const TQShortCutList stored = storedShortCuts("Beta");
        QCOMPARE(stored.size(), duplicate ? 1 : 2);
        QCOMPARE(mainList()->count(), stored.size());
        if (!duplicate) {
            const TQShortCut added = storedShortCut("Beta", file);
            QCOMPARE(added.DisplayName, QString("Added"));
            QCOMPARE(added.Parameters, QString("-p"));
        }
    }

    void addCommandCancelStoresNothingButRefreshes() {
        addGroups({"Alpha"});
        selectTab("Alpha");
        addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");
        QCOMPARE(mainList()->count(), 0);

        UiTestHooks::queueDialog([](QDialog& dialog) {
            fill(dialog, "Tool", "E:\\Apps\\tool.exe");
            return pressCancel(dialog);
        });
        frmMain->ActionAddScExecute();

        QVERIFY(!dm->ShortCutExists("E:\\Apps\\tool.exe"));
        QCOMPARE(mainList()->count(), 1);
    }

    void editCommandWithoutSelectionDoesNothing() {
        addGroups({"Alpha"});
        selectTab("Alpha");
        addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");

        frmMain->ActionUpdateScExecute();

        QCOMPARE(mainList()->count(), 0);
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
    }

    void editCommandEditsFirstSelectedAndKeepsPath() {
        addGroups({"Alpha", "Beta"});
        addShortCut("Alpha", "First", "E:\\Apps\\first.exe");
        addShortCut("Alpha", "Second", "E:\\Apps\\second.exe");
        selectTab("Alpha");
        mainList()->selectAll();
        const QString firstCaption = mainList()->item(0)->text();
        const QString firstFile =
            firstCaption == "First" ? "E:\\Apps\\first.exe" : "E:\\Apps\\second.exe";

        QString shownName;
        bool pathEditable = true;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            shownName = edit(dialog, "RzEditText")->text();
            pathEditable = edit(dialog, "RzEditFile")->isEnabled();
            categories(dialog)->setCurrentText("Beta");
            edit(dialog, "RzEditText")->setText("Renamed");
            edit(dialog, "RzEditParameters")->setText("-q");
            return pressOk(dialog);
        });
        frmMain->ActionUpdateScExecute();

        QCOMPARE(shownName, firstCaption);
        QVERIFY(!pathEditable);
        const TQShortCutList moved = storedShortCuts("Beta");
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved.first().FileName, firstFile);
        QCOMPARE(moved.first().DisplayName, QString("Renamed"));
        QCOMPARE(moved.first().Parameters, QString("-q"));
        QCOMPARE(storedShortCuts("Alpha").size(), 1);
        QCOMPARE(mainList()->count(), 1);
    }

    void editCommandCancelStoresNothingButRefreshes() {
        addGroups({"Alpha"});
        addShortCut("Alpha", "First", "E:\\Apps\\first.exe");
        selectTab("Alpha");
        mainList()->item(0)->setSelected(true);
        addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");

        UiTestHooks::queueDialog([](QDialog& dialog) {
            edit(dialog, "RzEditText")->setText("Renamed");
            return pressCancel(dialog);
        });
        frmMain->ActionUpdateScExecute();

        QCOMPARE(storedShortCut("Alpha", "E:\\Apps\\first.exe").DisplayName, QString("First"));
        QCOMPARE(mainList()->count(), 2);
    }
};

QTEST_MAIN(TestShortcutEditor)
#include "test_shortcut_editor.moc"
