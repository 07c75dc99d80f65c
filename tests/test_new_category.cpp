#include "AppWorld.h"
#include "uFrmCrShortCutG.h"
#include "uUiKit.h"

#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

namespace {

QLineEdit* nameEdit(QDialog& dialog) {
    return widget<QLineEdit>(dialog, "RzEdit1");
}
QListWidget* iconList(QDialog& dialog) {
    return widget<QListWidget>(dialog, "RzListView1");
}

} // namespace

class TestNewCategory : public AppWorldTest {
    Q_OBJECT

private slots:
    void init() {
        AppWorldTest::init();
        m_world->openWindow();
    }

    void iconListOffersEveryCategoryPicture() {
        TfrmCrShortCutG dialog;
        QCOMPARE(dialog.windowTitle(), QString("快速启动分类"));
        QCOMPARE(nameEdit(dialog)->text(), QString("请输入"));
        QListWidget* icons = iconList(dialog);
        QCOMPARE(dm->ImageList1.Count(), 45);
        QCOMPARE(icons->count(), dm->ImageList1.Count());
        for (int row = 0; row < icons->count(); ++row) {
            QCOMPARE(icons->item(row)->text(), QString::number(row));
            QVERIFY(!icons->item(row)->icon().isNull());
        }
        QVERIFY(icons->selectedItems().isEmpty());
        QCOMPARE(icons->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(icons->viewMode(), QListView::IconMode);
    }

    // Each step replaces the edit's text, as typing does; no steps leaves the prompt.
    void okChecksTheName_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message");
        QTest::newRow("prompt untouched") << QStringList() << "请输入分类名称";
        QTest::newRow("prompt typed again") << QStringList({"请输入x", "请输入"}) << "";
        QTest::newRow("emptied") << QStringList({""}) << "请输入分类名称";
        QTest::newRow("blanks only") << QStringList({"   "}) << "";
        QTest::newRow("existing name") << QStringList({"Alpha"}) << "已经存在的分类！";
        QTest::newRow("new name") << QStringList({"Beta"}) << "";
    }

    void okChecksTheName() {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        m_world->addGroup("Alpha");
        const bool refused = !message.isEmpty();
        QString textAfterOk;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            for (const QString& text : steps)
                nameEdit(dialog)->setText(text);
            const int result = pressOk(dialog);
            textAfterOk = nameEdit(dialog)->text();
            return result == mrOk ? mrOk : pressCancel(dialog);
        });
        frmMain->ActionNewGroupExecute();

        const QString typed = steps.isEmpty() ? QString("请输入") : steps.last();
        QCOMPARE(textAfterOk, typed);
        if (refused) {
            QCOMPARE(UiTestHooks::shownMessages().size(), 1);
            QCOMPARE(UiTestHooks::shownMessages().first().text, message);
            QCOMPARE(UiTestHooks::shownMessages().first().type, int(mtError));
            QCOMPARE(storedGroupNames(), QStringList("Alpha"));
        } else {
            QVERIFY(UiTestHooks::shownMessages().isEmpty());
            QCOMPARE(storedGroupNames(), QStringList({"Alpha", typed}));
        }
        QCOMPARE(m_world->tabNames(), storedGroupNames());
    }

    void storesChosenPicture_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("imageIndex");
        QTest::newRow("none chosen") << -1 << 0;
        QTest::newRow("middle") << 17 << 17;
        QTest::newRow("last") << 44 << 44;
    }

    void storesChosenPicture() {
        QFETCH(int, row);
        QFETCH(int, imageIndex);
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            nameEdit(dialog)->setText("Tools");
            if (row >= 0)
                iconList(dialog)->item(row)->setSelected(true);
            return pressOk(dialog);
        });
        frmMain->ActionNewGroupExecute();

        const TQShortCutGroupList groups = storedGroups();
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups.first().GroupName, QString("Tools"));
        QCOMPARE(groups.first().ImageIndex, imageIndex);
    }

    void cancelStoresNothingButRebuildsTabs() {
        m_world->addGroup("Alpha");
        frmMain->LoadGroupTabs();
        m_world->tabs()->setCurrentRow(0);
        frmMain->RzTabControl1TabClick();
        m_world->addGroup("Added behind the tabs");

        UiTestHooks::queueDialog([](QDialog& dialog) {
            nameEdit(dialog)->setText("Typed");
            return pressCancel(dialog);
        });
        frmMain->ActionNewGroupExecute();

        QVERIFY(!dm->GroupExists("Typed"));
        QCOMPARE(m_world->tabNames(), QStringList({"Alpha", "Added behind the tabs"}));
        QCOMPARE(frmMain->CurrentGroupName(), QString());
    }
};

QTEST_MAIN(TestNewCategory)
#include "test_new_category.moc"
