#include "TestSupport.h"
#include "uDataModule.h"
#include "uFrmCrShortCutG.h"
#include "uFrmMain.h"
#include "uUiKit.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
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

QLineEdit* nameEdit(QDialog& dialog) {
    return widget<QLineEdit>(dialog, "RzEdit1");
}
QListWidget* iconList(QDialog& dialog) {
    return widget<QListWidget>(dialog, "RzListView1");
}
QPushButton* button(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    return widget<QDialogButtonBox>(dialog, "RzDialogButtons1")->button(which);
}

// Presses the dialog's real OK button; the result tells whether the dialog closed.
int pressOk(QDialog& dialog) {
    button(dialog, QDialogButtonBox::Ok)->click();
    return dialog.result() == QDialog::Accepted ? mrOk : mrCancel;
}

int pressCancel(QDialog& dialog) {
    button(dialog, QDialogButtonBox::Cancel)->click();
    return mrCancel;
}

TQShortCutGroupList storedGroups() {
    TQShortCutGroupList groups;
    dm->LoadGroups(groups);
    return groups;
}

QStringList storedGroupNames() {
    QStringList names;
    for (const TQShortCutGroup& group : storedGroups())
        names.append(group.GroupName);
    return names;
}

} // namespace

class TestNewCategory : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSandbox> m_sandbox;

    QListWidget* tabStrip() const { return widget<QListWidget>(*frmMain, "RzTabControl1"); }

    QStringList tabCaptions() const {
        QStringList captions;
        for (int row = 0; row < tabStrip()->count(); ++row)
            captions.append(tabStrip()->item(row)->text());
        return captions;
    }

    void storeGroup(const QString& name) {
        TQShortCutGroup group;
        group.GroupName = name;
        dm->AddGroup(group);
    }

private slots:
    void initTestCase() { UiTestHooks::enable(); }

    void init() {
        UiTestHooks::reset();
        m_sandbox = std::make_unique<TestSandbox>();
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
        storeGroup("Alpha");
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
        QCOMPARE(tabCaptions(), storedGroupNames());
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
        storeGroup("Alpha");
        frmMain->LoadGroupTabs();
        tabStrip()->setCurrentRow(0);
        frmMain->RzTabControl1TabClick();
        storeGroup("Added behind the tabs");

        UiTestHooks::queueDialog([](QDialog& dialog) {
            nameEdit(dialog)->setText("Typed");
            return pressCancel(dialog);
        });
        frmMain->ActionNewGroupExecute();

        QVERIFY(!dm->GroupExists("Typed"));
        QCOMPARE(tabCaptions(), QStringList({"Alpha", "Added behind the tabs"}));
        QCOMPARE(frmMain->CurrentGroupName(), QString());
    }
};

QTEST_MAIN(TestNewCategory)
#include "test_new_category.moc"
