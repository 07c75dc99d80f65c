#include "AppWorld.h"
#include "KeldaError.h"
#include "fuzz/FuzzChecks.h"
#include "uCommon.h"
#include "uDataModule.h"
#include "uEnvironment.h"
#include "uUiKit.h"
#include "udMenuItem.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <sys/stat.h>

// Text that users and other programs put into names, paths and parameters, layer by layer:
// each gives its specified result or a clear message, never a crash, a hang or a lost row.

namespace {

struct HostileText {
    const char* name;
    QString text;
};

QString thousandCharacters() {
    QString text;
    while (text.size() < 1000)
        text += QStringLiteral("长名字 long name ");
    return text.left(1000);
}

QList<HostileText> hostileTexts() {
    return {
        {"quotes", QStringLiteral("Tom's \"best\" tool")},
        {"percent references", QStringLiteral("100% %removedrive% %PATH%")},
        {"backslashes and slashes", QStringLiteral("a\\b/c\\\\d//")},
        {"control characters", QStringLiteral("a\tb\nc\rd\x01"
                                              "e\x1b"
                                              "f\x7f")},
        {"CJK", QStringLiteral("程序管理器 テスト 한국어")},
        {"emoji", QStringLiteral("🚀 launcher 👩‍💻")},
        {"markup and access keys", QStringLiteral("<b>&amp; &Tools</b>")},
        {"SQL", QStringLiteral("x'); DROP TABLE t_sc; --")},
        {"1000 characters", thousandCharacters()},
    };
}

void addHostileTextColumn() {
    QTest::addColumn<QString>("text");
    for (const HostileText& hostile : hostileTexts())
        QTest::newRow(hostile.name) << hostile.text;
}

struct EnvScope {
    TEnvironment environment;
    EnvScope() { Env = &environment; }
    ~EnvScope() { Env = nullptr; }
};

TQShortCut hostileShortCut(const QString& text) {
    TQShortCut shortCut;
    shortCut.GroupName = text;
    shortCut.DisplayName = text;
    shortCut.FileName = text;
    shortCut.Parameters = text;
    return shortCut;
}

// The caption as the user reads it ("&&" shows as "&").
QString shownCaption(const QAction* item) {
    QString caption = item->text();
    return caption.replace("&&", "&");
}

QMenu* trayMenu() {
    return frmMain->findChild<QMenu*>("PopupMenu1");
}

QAction* trayCategoryItem(const QString& caption) {
    for (QAction* item : trayMenu()->actions())
        if (shownCaption(item) == caption)
            return item;
    return nullptr;
}

QStringList recordedArguments(const QString& output) {
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\0');
    lines.removeLast();
    return lines;
}

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UiTestHooks::enable(); }
    void init() { UiTestHooks::reset(); }

    void storeKeepsHostileTextExactly_data() { addHostileTextColumn(); }

    void storeKeepsHostileTextExactly() {
        QFETCH(QString, text);
        TestSandbox sandbox;
        EnvScope env;
        Tdm store;
        store.DataModuleCreate();
        store.AddGroup({text, 44});
        TQShortCut added = hostileShortCut(text);
        store.AddShortCut(added);

        QVERIFY(store.GroupExists(text));
        QVERIFY(store.ShortCutExists(text));
        TQShortCutGroupList groups;
        store.LoadGroups(groups);
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0].GroupName, text);
        TQShortCutList list;
        store.LoadShortCuts(text, list);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].GroupName, text);
        QCOMPARE(list[0].DisplayName, text);
        QCOMPARE(list[0].FileName, text);
        QCOMPARE(list[0].Parameters, text);

        TQShortCut changed = hostileShortCut(text + "2");
        store.UpdateShortCut(text, changed);
        store.LoadShortCuts(text + "2", list);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].FileName, text);
        QCOMPARE(list[0].DisplayName, text + "2");
        store.SetGroupIndex(text, 3);
        store.DeleteShortCut(list[0]);
        store.DeleteGroup(text);
        QVERIFY(!store.ShortCutExists(text));
        QVERIFY(!store.GroupExists(text));
    }

    // The keys cannot be empty: the engine refuses them with its message and stores nothing.
    // An empty display name and empty parameters are stored and read back empty.
    void storeRefusesEmptyKeysKeepsOtherEmptyText() {
        TestSandbox sandbox;
        EnvScope env;
        Tdm store;
        store.DataModuleCreate();
        QVERIFY(errorOf([&] { store.AddGroup({QString(), 0}); }).contains("groupname"));
        TQShortCut noFile = hostileShortCut(QString());
        QVERIFY(errorOf([&] { store.AddShortCut(noFile); }).contains("FileName"));
        TQShortCutGroupList groups;
        store.LoadGroups(groups);
        QVERIFY(groups.isEmpty());
        QVERIFY(!store.ShortCutExists(QString()));

        TQShortCut onlyFile = hostileShortCut(QString());
        onlyFile.GroupName = "g";
        onlyFile.FileName = "f.bat";
        store.AddShortCut(onlyFile);
        TQShortCutList list;
        store.LoadShortCuts("g", list);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].DisplayName, QString());
        QCOMPARE(list[0].Parameters, QString());
    }

    void tableFileThatIsAFolderIsReported_data() {
        QTest::addColumn<QString>("tableFile");
        QTest::newRow("shortcut table") << "t_sc.dat";
        QTest::newRow("category table") << "t_scg.dat";
    }

    void tableFileThatIsAFolderIsReported() {
        QFETCH(QString, tableFile);
        TestSandbox sandbox;
        EnvScope env;
        const QString folder = sandbox.exeDir() + "/data/" + tableFile;
        const QString inside = sandbox.writeFile("app/data/" + tableFile + "/keep.txt", "kept");
        Tdm store;
        const QString message = errorOf([&] { store.DataModuleCreate(); });
        QVERIFY2(message.contains(folder), qPrintable(message));
        QVERIFY(!errorOf([&] { store.AddGroup({"g", 0}); }).isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(fileBytes(inside), QByteArray("kept"));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"keep.txt"});
    }

    void pathFunctionsTakeHostileText_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("nameNoExt");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expanded");
        QTest::addColumn<QString>("drive");

        const auto same = [](const char* name, const QString& path, const QString& stem,
                             const QString& folder, const QString& drive) {
            QTest::newRow(name) << path << stem << folder << path << drive;
        };
        same("quotes", "E:\\Tom's \"tools\"\\it's.exe", "it's", "E:\\Tom's \"tools\"\\", "E:");
        same("percent inside", "E:\\100%\\%x%.exe", "%x%", "E:\\100%\\", "E:");
        same("unclosed variable", "%removedrive\\a.exe", "a", "%removedrive\\", "");
        same("control characters", "E:\\a\tb\\c\nd.e\x01", "c\nd", "E:\\a\tb\\", "E:");
        same("CJK", "E:\\程序\\工具.exe", "工具", "E:\\程序\\", "E:");
        same("emoji extension", "E:\\🚀\\a.🚀", "a", "E:\\🚀\\", "E:");
        same("network share in CJK", "\\\\server\\共享\\a.b.exe", "a.b", "\\\\server\\共享\\",
             "\\\\server\\共享");
        same("only separators", "\\\\\\", "", "\\\\\\", "\\\\\\");
        same("empty", "", "", "", "");
        const QString longName = QString("x").repeated(990);
        same("1000 characters", "E:\\" + longName + ".exe", longName, "E:\\", "E:");
        QTest::newRow("variable twice") << "%removedrive%\\%removedrive%.bat"
                                        << "%removedrive%"
                                        << "%removedrive%\\"
                                        << "E:\\%removedrive%.bat"
                                        << "";
    }

    void pathFunctionsTakeHostileText() {
        QFETCH(QString, path);
        QFETCH(QString, nameNoExt);
        QFETCH(QString, folder);
        QFETCH(QString, expanded);
        QFETCH(QString, drive);
        TestSandbox sandbox;
        EnvScope env;
        qputenv("removedrive", "E:");
        QCOMPARE(ExtractFileNameNoExt(path), nameNoExt);
        QCOMPARE(ExtractFolderPart(path), folder);
        QCOMPARE(Env->ExpandPath(path), expanded);
        QCOMPARE(QString::fromStdString(platform().drivePart(path.toStdString())), drive);
        const QByteArray bytes = path.toUtf8();
        const char* failure = fuzzchecks::checkPaths(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
        QVERIFY2(failure == nullptr, failure);
    }

    void searchSurvivesHostileFolders_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("expected");
        const QStringList plain{"a.exe", "sub/s.exe"};
        QTest::newRow("names with quotes, CJK, emoji, backslash, tab, 250 characters")
            << "names" << plain + QStringList{"it's.exe",  "\"q\".exe",
                                              "%x%.exe",   "a\\b.exe",
                                              "t\tab.exe", "程序.exe",
                                              "🚀.exe",     QString("n").repeated(246) + ".exe"};
        QTest::newRow("FIFO named like the mask") << "fifo" << plain;
        QTest::newRow("link to a vanished folder") << "vanished" << plain;
        QTest::newRow("links to each other") << "mutual links" << plain;
        QTest::newRow("folder without read permission") << "unreadable" << plain;
        QTest::newRow("searched path beyond PATH_MAX") << "too long" << QStringList();
        QTest::newRow("searched path is a file") << "file" << QStringList();
    }

    void searchSurvivesHostileFolders() {
        QFETCH(QString, setup);
        QFETCH(QStringList, expected);
        TestSandbox sandbox;
        const QString tree = sandbox.root() + "/tree";
        for (const char* file : {"a.exe", "sub/s.exe", "sub/notes.txt"})
            sandbox.writeFile(QString("tree/") + file);
        QString searched = tree;
        if (setup == "names") {
            for (int i = 2; i < expected.size(); ++i)
                QVERIFY(!sandbox.writeFile("tree/" + expected[i]).isEmpty());
        } else if (setup == "fifo") {
            QCOMPARE(mkfifo(QFile::encodeName(tree + "/pipe.exe").constData(), 0644), 0);
        } else if (setup == "vanished") {
            QDir().mkpath(tree + "/gone");
            QVERIFY(QFile::link(tree + "/gone", tree + "/link"));
            QVERIFY(QDir(tree + "/gone").removeRecursively());
        } else if (setup == "mutual links") {
            QVERIFY(QFile::link(tree + "/sub/b", tree + "/a"));
            QVERIFY(QFile::link(tree + "/a", tree + "/sub/b"));
        } else if (setup == "unreadable") {
            sandbox.writeFile("tree/locked/l.exe");
            QVERIFY(QFile::setPermissions(tree + "/locked", QFileDevice::Permissions()));
            if (QDir(tree + "/locked").entryList(QDir::Files).contains("l.exe")) {
                QFile::setPermissions(tree + "/locked", QFileDevice::ReadOwner |
                                                            QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner);
                QSKIP("running as root: permission bits do not stop reading a folder");
            }
        } else if (setup == "too long") {
            searched = tree + QString("/" + QString("x").repeated(250)).repeated(20);
        } else if (setup == "file") {
            searched = tree + "/a.exe";
        }

        QElapsedTimer timer;
        timer.start();
        QStringList all, depthLimited;
        SearchFiles(searched, "*.exe", true, all);
        SearchFilesDepth(searched, "*.exe", 5, depthLimited);
        QVERIFY(timer.elapsed() < 10000);
        expected.sort();
        QCOMPARE(relativeSorted(all, tree + "/"), expected);
        QCOMPARE(relativeSorted(depthLimited, tree + "/"), expected);
    }

    void launchKeepsHostileTextLiteral_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("quotes, dollar and backquote in the folder") << "it's \"$HOME\" `id`"
                                                                    << "a" << QStringList{"a"};
        QTest::newRow("CJK and emoji") << "程序 🚀"
                                       << "参数 🚀" << QStringList{"参数", "🚀"};
        QTest::newRow("unbalanced quote") << "q"
                                          << "\"unclosed arg" << QStringList{"unclosed arg"};
        QTest::newRow("tab and newline separate") << "ws"
                                                  << "a\tb\nc" << QStringList{"a", "b", "c"};
        QTest::newRow("references after the first stay")
            << "ref"
            << "%kelda_unset% %removedrive% $HOME"
            << QStringList{"%kelda_unset%", "%removedrive%", "$HOME"};
        QTest::newRow("1000-character parameter")
            << "long" << QString("p").repeated(1000) << QStringList{QString("p").repeated(1000)};
        QTest::newRow("empty parameters") << "none"
                                          << "" << QStringList();
    }

    void launchKeepsHostileTextLiteral() {
        QFETCH(QString, folder);
        QFETCH(QString, parameters);
        QFETCH(QStringList, arguments);
        TestSandbox sandbox;
        EnvScope env;
        qputenv("removedrive", sandbox.root().toUtf8());
        const QString output = sandbox.root() + "/out";
        const QString script = sandbox.writeFile(
            "tools/" + folder + "/record.sh",
            "#!/bin/sh\n{ pwd -P; printf '\\0'; for a in \"$@\"; do printf '%s\\0' \"$a\"; "
            "done; } > '" +
                output.toUtf8() + ".tmp'\nmv '" + output.toUtf8() + ".tmp' '" + output.toUtf8() +
                "'\n");
        QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);

        LaunchProgram("%removedrive%/tools/" + folder + "/record.sh", parameters);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output), 10000);
        const QStringList recorded = recordedArguments(output);
        QVERIFY(!recorded.isEmpty());
        QCOMPARE(recorded.first().trimmed(),
                 QFileInfo(sandbox.root() + "/tools/" + folder).canonicalFilePath());
        QCOMPARE(recorded.mid(1), arguments);
    }

    void windowTrayAndEditorKeepHostileText_data() { addHostileTextColumn(); }

    void windowTrayAndEditorKeepHostileText() {
        QFETCH(QString, text);
        AppWorld world;
        const QString fileName = "%removedrive%\\" + text + ".exe";
        world.addGroup(text, 5);
        world.addShortCut(text, text, fileName, text);
        world.openWindow();

        QCOMPARE(world.tabNames(), QStringList{text});
        world.clickTab(text);
        QCOMPARE(world.listCaptions(), QStringList{text});

        emit trayMenu()->aboutToShow();
        QAction* category = trayCategoryItem(text);
        QVERIFY(category && category->menu());
        const QList<QAction*> items = category->menu()->actions();
        QCOMPARE(items.size(), 1);
        auto* item = qobject_cast<TdSubMenuItem*>(items.first());
        QVERIFY(item);
        QCOMPARE(shownCaption(item), text);
        QCOMPARE(item->FileName, fileName);
        QCOMPARE(item->Parameters, text);

        world.list()->item(0)->setSelected(true);
        QString shownName, shownParameters;
        UiTestHooks::queueDialog([&](QDialog& dialog) {
            shownName = dialog.findChild<QLineEdit*>("RzEditText")->text();
            shownParameters = dialog.findChild<QLineEdit*>("RzEditParameters")->text();
            dialog.findChild<QDialogButtonBox*>("RzDialogButtons1")
                ->button(QDialogButtonBox::Ok)
                ->click();
            return dialog.result() == QDialog::Accepted ? mrOk : mrCancel;
        });
        frmMain->ActionUpdateScExecute();
        QCOMPARE(UiTestHooks::pendingCount(), 0);
        QCOMPARE(shownName, text);
        QCOMPARE(shownParameters, text);
        TQShortCutList stored;
        dm->LoadShortCuts(text, stored);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].DisplayName, text);
        QCOMPARE(stored[0].Parameters, text);
        QCOMPARE(stored[0].FileName, fileName);
        QCOMPARE(world.listCaptions(), QStringList{text});
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
    }
};

QTEST_MAIN(TestHostileInput)
#include "test_hostile_input.moc"
