#include "AppWorld.h"
#include "uFrmSearch.h"
#include "uUiKit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QtTest>
#include <functional>

namespace {

QLineEdit* edit(QDialog& dialog, const char* name) {
    return widget<QLineEdit>(dialog, name);
}
QCheckBox* checkBox(QDialog& dialog, const char* name) {
    return widget<QCheckBox>(dialog, name);
}
QComboBox* editorCategories(QDialog& editor) {
    return widget<QComboBox>(editor, "RzComboBox1");
}

// The search dialog answered with `folder`: only the folder, nothing below it.
void queueSearchOf(const QString& folder, bool allSubDirs = false) {
    UiTestHooks::queueDialog([folder, allSubDirs](QDialog& dialog) {
        edit(dialog, "RzButtonEditPath")->setText(folder);
        checkBox(dialog, "RzCheckBox2")->setChecked(false);
        checkBox(dialog, "RzCheckBox1")->setChecked(allSubDirs);
        return pressOk(dialog);
    });
}

// What one editor of the batch showed when it opened.
struct Offer {
    QString category;
    QString name;
    QString file;
    QString status;
};

// Queues a shortcut editor that records its offer and then runs `close`.
void queueEditor(QList<Offer>& offers, const std::function<int(QDialog&)>& close) {
    UiTestHooks::queueDialog([&offers, close](QDialog& editor) {
        offers.append({editorCategories(editor)->currentText(), edit(editor, "RzEditText")->text(),
                       edit(editor, "RzEditFile")->text(), statusText()});
        return close(editor);
    });
}

QList<UiTestHooks::ShownMessage> messages() {
    return UiTestHooks::shownMessages();
}

} // namespace

class TestBatchSearch : public AppWorldTest {
    Q_OBJECT

private:
    QString folder() const { return m_world->sandbox.root() + "/drive"; }
    QString makeFile(const QString& relative) const {
        return m_world->sandbox.writeFile("drive/" + relative);
    }

    void store(const QString& group, const QString& file) {
        m_world->addShortCut(group, QFileInfo(file).baseName(), file);
    }

private slots:
    void init() {
        AppWorldTest::init();
        QDir().mkpath(folder());
        m_world->openWindow();
        m_world->addGroupTabs({"Tools", "Games"});
    }

    void okRefusesWhatIsNotAFolder_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << "";
        QTest::newRow("missing folder") << "drive/missing";
        QTest::newRow("a file") << "drive/a.exe";
        QTest::newRow("variable not expanded") << "%removedrive%/drive";
    }

    void okRefusesWhatIsNotAFolder() {
        QFETCH(QString, typed);
        makeFile("a.exe");
        qputenv("removedrive", m_world->sandbox.root().toLocal8Bit());
        const QString text =
            typed.startsWith("drive") ? m_world->sandbox.root() + "/" + typed : typed;
        TfrmSearch dialog;
        edit(dialog, "RzButtonEditPath")->setText(text);

        QCOMPARE(pressOk(dialog), mrCancel);
        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().text, QString("请输入要查找的目录"));
        QCOMPARE(messages().first().type, int(mtError));
        QCOMPARE(edit(dialog, "RzButtonEditPath")->text(), text);
        QVERIFY(dialog.SearchInfo.Path.isEmpty());
    }

    void checkBoxesExcludeEachOther() {
        TfrmSearch dialog;
        QCheckBox* allLevels = checkBox(dialog, "RzCheckBox1");
        QCheckBox* limited = checkBox(dialog, "RzCheckBox2");
        QVERIFY(!allLevels->isChecked());
        QVERIFY(limited->isChecked());

        allLevels->click();
        QVERIFY(allLevels->isChecked());
        QVERIFY(!limited->isChecked());

        limited->click();
        QVERIFY(!allLevels->isChecked());
        QVERIFY(limited->isChecked());

        limited->click();
        QVERIFY(!allLevels->isChecked());
        QVERIFY(!limited->isChecked());
    }

    void okFillsSearchInfo() {
        TfrmSearch dialog;
        QCOMPARE(edit(dialog, "RzEditFile")->text(), QString("*.exe"));
        QSpinBox* depth = widget<QSpinBox>(dialog, "RzNumericEdit1");
        QCOMPARE(depth->value(), 1);
        UiTestHooks::queueFolder(folder());
        widget<QAction>(dialog, "RzButtonEditPathButton")->trigger();
        edit(dialog, "RzEditFile")->setText("*portable*.exe");
        depth->setValue(-3);

        QCOMPARE(pressOk(dialog), mrOk);
        QCOMPARE(dialog.SearchInfo.Path, folder());
        QCOMPARE(dialog.SearchInfo.Mask, QString("*portable*.exe"));
        QVERIFY(dialog.SearchInfo.DepthLimited);
        QVERIFY(!dialog.SearchInfo.AllSubDirs);
        QCOMPARE(dialog.SearchInfo.Depth, -3);
        QVERIFY(messages().isEmpty());
    }

    void cancelledFolderPickerKeepsTheText() {
        TfrmSearch dialog;
        edit(dialog, "RzButtonEditPath")->setText("typed");
        UiTestHooks::queueFolder("");
        dialog.RzButtonEditPathButtonClick();
        QCOMPARE(edit(dialog, "RzButtonEditPath")->text(), QString("typed"));
    }

    void noFindsIsReportedAndNothingElse() {
        makeFile("readme.txt");
        queueSearchOf(folder());
        frmMain->ActionSearchScExecute();

        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().text, QString("没有搜索到可执行文件"));
        QCOMPARE(messages().first().type, int(mtInformation));
        QCOMPARE(statusText(), QString());
    }

    void answeringNoStoresNothing() {
        makeFile("a.exe");
        makeFile("b.exe");
        queueSearchOf(folder());
        UiTestHooks::queueAnswer(mrNo);
        frmMain->ActionSearchScExecute();

        QCOMPARE(messages().size(), 1);
        QCOMPARE(messages().first().text, QString("找到2个可执行文件，要进行分类么？"));
        QCOMPARE(messages().first().type, int(mtConfirmation));
        QVERIFY(storedShortCuts("Tools").isEmpty());
        QCOMPARE(statusText(), QString());
    }

    // A file's own finds come before its subfolders', so the order below is fixed.
    void cancelledEditorCarriesItsCategory() {
        const QString first = makeFile("first.exe");
        const QString second = makeFile("sub/second.exe");
        m_world->clickTab("Tools");
        QList<Offer> offers;
        queueSearchOf(folder(), true);
        UiTestHooks::queueAnswer(mrYes);
        queueEditor(offers, [](QDialog& editor) {
            editorCategories(editor)->setCurrentText("Games");
            return pressCancel(editor);
        });
        queueEditor(offers, pressOk);
        frmMain->ActionSearchScExecute();

        QCOMPARE(offers.size(), 2);
        QCOMPARE(offers[0].category, QString("Tools"));
        QCOMPARE(offers[0].name, QString("first"));
        QCOMPARE(offers[0].file, first);
        QCOMPARE(offers[1].category, QString("Games"));
        QCOMPARE(offers[1].file, second);
        QVERIFY(!dm->ShortCutExists(first));
        const TQShortCutList games = storedShortCuts("Games");
        QCOMPARE(games.size(), 1);
        QCOMPARE(games.first().FileName, second);
        QCOMPARE(games.first().DisplayName, QString("second"));
    }

    void duplicateIsWarnedAndTheBatchGoesOn() {
        const QString known = makeFile("known.exe");
        const QString fresh = makeFile("sub/fresh.exe");
        store("Tools", known);
        m_world->clickTab("Tools");
        QList<Offer> offers;
        queueSearchOf(folder(), true);
        UiTestHooks::queueAnswer(mrYes);
        queueEditor(offers, pressOk);
        queueEditor(offers, pressOk);
        frmMain->ActionSearchScExecute();

        QCOMPARE(offers.size(), 2);
        QCOMPARE(offers[1].status, QString("正在处理1/2个文件"));
        QCOMPARE(messages().size(), 2);
        QCOMPARE(messages()[1].text, QString("已经存在的应用程序！"));
        QCOMPARE(messages()[1].type, int(mtWarning));
        QVERIFY(dm->ShortCutExists(fresh));
        QCOMPARE(storedShortCuts("Tools").size(), 2);
        QCOMPARE(statusText(), QString("批量处理文件结束。"));
        // Added shortcuts show only at the next reload.
        QCOMPARE(m_world->list()->count(), 1);
    }

    // Without a current category the editor falls back to the first one, so nothing is
    // stored under a category that no tab shows.
    void withoutCurrentCategoryTheFirstIsProposed() {
        const QString find = makeFile("tool.exe");
        QList<Offer> offers;
        queueSearchOf(folder());
        UiTestHooks::queueAnswer(mrYes);
        queueEditor(offers, pressOk);
        frmMain->ActionSearchScExecute();

        QCOMPARE(offers.size(), 1);
        QCOMPARE(offers[0].category, QString("Tools"));
        QCOMPARE(storedShortCuts("Tools").value(0).FileName, find);
        QVERIFY(storedShortCuts("").isEmpty());
    }
};

QTEST_MAIN(TestBatchSearch)
#include "test_batch_search.moc"
