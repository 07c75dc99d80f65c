#include "AppWorld.h"
#include "uEnvironment.h"
#include "uFrmShortcut.h"
#include "uUiKit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

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

// The stored record with `fileName`, or an empty one.
TQShortCut storedShortCut(const QString& group, const QString& fileName) {
    for (const TQShortCut& record : storedShortCuts(group))
        if (record.FileName == fileName)
            return record;
    return {};
}

} // namespace

class TestShortcutEditor : public AppWorldTest {
    Q_OBJECT

private slots:
    void init() {
        AppWorldTest::init();
        qputenv("removedrive", "E:");
        m_world->openWindow();
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
        m_world->addGroupTabs({"Alpha"});
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
        m_world->addGroupTabs({"Alpha", "Beta"});
        TfrmShortCut dialog;
        dialog.SelectGroup(name);
        QCOMPARE(categories(dialog)->currentText(), selected);
        QCOMPARE(dialog.GetShortCut().GroupName, selected);
    }

    void setShortCutHasNoFallback() {
        m_world->addGroupTabs({"Alpha", "Beta"});
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
        m_world->addGroupTabs({"Alpha", "Beta", "Gamma"});
        if (!tab.isEmpty())
            m_world->clickTab(tab);
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
        const QString chosen = m_world->sandbox.writeFile("drive/Apps/Tool/tool.v2.exe");
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
        m_world->addGroupTabs({"Alpha", "Beta"});
        m_world->addShortCut("Beta", "Stored", "E:\\Apps\\x.exe");
        m_world->clickTab("Beta");
        QCOMPARE(m_world->list()->count(), 1);

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
        QCOMPARE(m_world->list()->count(), stored.size());
        if (!duplicate) {
            const TQShortCut added = storedShortCut("Beta", file);
            QCOMPARE(added.DisplayName, QString("Added"));
            QCOMPARE(added.Parameters, QString("-p"));
        }
    }

    void addCommandCancelStoresNothingButRefreshes() {
        m_world->addGroupTabs({"Alpha"});
        m_world->clickTab("Alpha");
        m_world->addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");
        QCOMPARE(m_world->list()->count(), 0);

        UiTestHooks::queueDialog([](QDialog& dialog) {
            fill(dialog, "Tool", "E:\\Apps\\tool.exe");
            return pressCancel(dialog);
        });
        frmMain->ActionAddScExecute();

        QVERIFY(!dm->ShortCutExists("E:\\Apps\\tool.exe"));
        QCOMPARE(m_world->list()->count(), 1);
    }

    void editCommandWithoutSelectionDoesNothing() {
        m_world->addGroupTabs({"Alpha"});
        m_world->clickTab("Alpha");
        m_world->addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");

        frmMain->ActionUpdateScExecute();

        QCOMPARE(m_world->list()->count(), 0);
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
    }

    void editCommandEditsFirstSelectedAndKeepsPath() {
        m_world->addGroupTabs({"Alpha", "Beta"});
        m_world->addShortCut("Alpha", "First", "E:\\Apps\\first.exe");
        m_world->addShortCut("Alpha", "Second", "E:\\Apps\\second.exe");
        m_world->clickTab("Alpha");
        m_world->list()->selectAll();
        const QString firstCaption = m_world->list()->item(0)->text();
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
        QCOMPARE(m_world->list()->count(), 1);
    }

    void editCommandCancelStoresNothingButRefreshes() {
        m_world->addGroupTabs({"Alpha"});
        m_world->addShortCut("Alpha", "First", "E:\\Apps\\first.exe");
        m_world->clickTab("Alpha");
        m_world->list()->item(0)->setSelected(true);
        m_world->addShortCut("Alpha", "Added behind the list", "E:\\Apps\\behind.exe");

        UiTestHooks::queueDialog([](QDialog& dialog) {
            edit(dialog, "RzEditText")->setText("Renamed");
            return pressCancel(dialog);
        });
        frmMain->ActionUpdateScExecute();

        QCOMPARE(storedShortCut("Alpha", "E:\\Apps\\first.exe").DisplayName, QString("First"));
        QCOMPARE(m_world->list()->count(), 2);
    }
};

QTEST_MAIN(TestShortcutEditor)
#include "test_shortcut_editor.moc"
