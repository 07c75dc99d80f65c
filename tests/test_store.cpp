#include "KeldaError.h"
#include "PeFixture.h"
#include "TestSupport.h"
#include "uDataModule.h"
#include "uEnvironment.h"
#include "uPictures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <functional>

namespace {

// Runs one statement on its own connection to a table file, as another program would.
QVariant rawSql(const QString& tableFile, const QString& statement) {
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(tableFile);
        if (!db.open())
            return "<cannot open>";
        QSqlQuery query(db);
        if (!query.exec(statement))
            result = "<failed>";
        else if (query.next())
            result = query.value(0);
    }
    QSqlDatabase::removeDatabase("raw");
    return result;
}

QImage solidPicture(Qt::GlobalColor colour) {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TQShortCut shortCut(const QString& group, const QString& fileName,
                    const QImage& picture = QImage()) {
    TQShortCut record;
    record.GroupName = group;
    record.DisplayName = "name of " + fileName;
    record.FileName = fileName;
    record.IconBitmap = picture;
    return record;
}

QStringList fileNames(const TQShortCutList& list) {
    QStringList names;
    for (const TQShortCut& record : list)
        names << record.FileName;
    return names;
}

QStringList groupNames(const Tdm& store) {
    TQShortCutGroupList groups;
    store.LoadGroups(groups);
    QStringList names;
    for (const TQShortCutGroup& group : groups)
        names << group.GroupName;
    return names;
}

void add(Tdm& store, TQShortCut record) {
    store.AddShortCut(record);
}

void addGroups(Tdm& store, const QStringList& names) {
    for (const QString& name : names)
        store.AddGroup({name, 0});
}

// The executable's world with an environment and a data module on it.
class StoreWorld {
public:
    StoreWorld() { Env = &environment; }
    ~StoreWorld() { Env = nullptr; }
    StoreWorld(const StoreWorld&) = delete;
    StoreWorld& operator=(const StoreWorld&) = delete;

    QString dataDir() const { return sandbox.exeDir() + "/data"; }
    QString shortCutFile() const { return dataDir() + "/t_sc.dat"; }
    QString groupFile() const { return dataDir() + "/t_scg.dat"; }
    Tdm& open() {
        store.DataModuleCreate();
        return store;
    }

    TestSandbox sandbox;
    TEnvironment environment;
    Tdm store;
};

using StoreOperation = std::function<void(Tdm&)>;

} // namespace

Q_DECLARE_METATYPE(StoreOperation)

class TestStore : public QObject {
    Q_OBJECT

private slots:
    void firstStartCreatesFolderAndEmptyTables();
    void presentTableFileIsKept();
    void newGroupComesLast_data();
    void newGroupComesLast();
    void quoteInNamesIsStoredAndFound();
    void namesComparedExactly_data();
    void namesComparedExactly();
    void iconStoredByExtension_data();
    void iconStoredByExtension();
    void shortCutsOfOneGroupInFileNameOrder();
    void deleteGroupKeepsItsShortCuts();
    void missingRowFailsWithUpdateFailed_data();
    void missingRowFailsWithUpdateFailed();
    void updateKeepsFileNameAndIcon();
    void duplicateKeyIsRefused_data();
    void duplicateKeyIsRefused();
    void undecodableIconLeavesOnlyThatPictureEmpty();
    void unwritableDataFolderFailsEveryOperation();
    void damagedTableFileIsReportedAndKept_data();
    void damagedTableFileIsReportedAndKept();
    void groupOrderIsSavedAllOrNothing();
    void picturesAreLoaded();
};

void TestStore::firstStartCreatesFolderAndEmptyTables() {
    StoreWorld world;
    Tdm& store = world.open();
    QCOMPARE(store.DataPath, world.dataDir());
    QCOMPARE(store.ShortCutTable, '"' + world.shortCutFile() + '"');
    QCOMPARE(store.GroupTable, '"' + world.groupFile() + '"');
    QVERIFY(QFileInfo(world.shortCutFile()).isFile());
    QVERIFY(QFileInfo(world.groupFile()).isFile());
    QVERIFY(groupNames(store).isEmpty());
    TQShortCutList list{shortCut("x", "y")};
    store.LoadShortCuts("x", list);
    QVERIFY(list.isEmpty());
}

void TestStore::presentTableFileIsKept() {
    StoreWorld world;
    {
        Tdm earlier;
        earlier.DataModuleCreate();
        addGroups(earlier, {"Tools", "Games"});
        add(earlier, shortCut("Tools", "/a.bat"));
    }
    QFile::remove(world.shortCutFile());
    const QByteArray groupsBefore = fileBytes(world.groupFile());

    Tdm& store = world.open();
    QCOMPARE(groupNames(store), QStringList({"Tools", "Games"}));
    QVERIFY(!store.ShortCutExists("/a.bat"));
    QCOMPARE(fileBytes(world.groupFile()), groupsBefore);
}

void TestStore::newGroupComesLast_data() {
    QTest::addColumn<QList<int>>("existing");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty table") << QList<int>() << 1;
    QTest::newRow("after a gap") << QList<int>({1, 2, 5}) << 6;
    QTest::newRow("highest not last") << QList<int>({7, 3}) << 8;
}

void TestStore::newGroupComesLast() {
    QFETCH(QList<int>, existing);
    QFETCH(int, expected);
    StoreWorld world;
    Tdm& store = world.open();
    for (int i = 0; i < existing.size(); ++i) {
        const QString name = QString::number(i);
        store.AddGroup({name, 0});
        store.SetGroupIndex(name, existing[i]);
    }
    store.AddGroup({"new", 3});
    QCOMPARE(rawSql(world.groupFile(), "select groupindex from t_scg where groupname='new'"),
             QVariant(expected));
    QCOMPARE(groupNames(store).last(), QString("new"));
}

void TestStore::quoteInNamesIsStoredAndFound() {
    StoreWorld world;
    Tdm& store = world.open();
    store.AddGroup({"Tom's", 7});
    QVERIFY(store.GroupExists("Tom's"));
    TQShortCutGroupList groups;
    store.LoadGroups(groups);
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups[0].GroupName, QString("Tom's"));
    QCOMPARE(groups[0].ImageIndex, 7);
    add(store, shortCut("Tom's", "E:\\Tom's\\t.bat"));
    QVERIFY(store.ShortCutExists("E:\\Tom's\\t.bat"));
    TQShortCutList list;
    store.LoadShortCuts("Tom's", list);
    QCOMPARE(fileNames(list), QStringList({"E:\\Tom's\\t.bat"}));
    store.SetGroupIndex("Tom's", 4);
    store.DeleteGroup("Tom's");
    QVERIFY(!store.GroupExists("Tom's"));
}

void TestStore::namesComparedExactly_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("asked");
    QTest::newRow("variable against drive letter") << "%removedrive%\\Apps\\a.exe"
                                                   << "E:\\Apps\\a.exe";
    QTest::newRow("letter case") << "E:\\Apps\\Tool.exe"
                                 << "E:\\apps\\tool.exe";
    QTest::newRow("trailing blank") << "E:\\a.bat"
                                    << "E:\\a.bat ";
}

void TestStore::namesComparedExactly() {
    QFETCH(QString, stored);
    QFETCH(QString, asked);
    StoreWorld world;
    Tdm& store = world.open();
    store.AddGroup({stored, 0});
    add(store, shortCut(stored, stored));
    QVERIFY(store.ShortCutExists(stored));
    QVERIFY(!store.ShortCutExists(asked));
    QVERIFY(!store.GroupExists(asked));
    TQShortCutList list;
    store.LoadShortCuts(asked, list);
    QVERIFY(list.isEmpty());
    // Both spellings may be stored side by side.
    store.AddGroup({asked, 0});
    add(store, shortCut(asked, asked));
    store.LoadShortCuts(asked, list);
    QCOMPARE(fileNames(list), QStringList({asked}));
}

void TestStore::iconStoredByExtension_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("captured");
    QTest::newRow(".bat") << "tool.bat" << false;
    QTest::newRow(".com") << "tool.com" << false;
    QTest::newRow("no extension") << "tool" << false;
    QTest::newRow(".EXE") << "TOOL.EXE" << true;
}

void TestStore::iconStoredByExtension() {
    QFETCH(QString, fileName);
    QFETCH(bool, captured);
    StoreWorld world;
    Tdm& store = world.open();
    const QString path = world.sandbox.writeFile("app/" + fileName, PeFixture().toByteArray());
    TQShortCut added = shortCut("g", path);
    store.AddShortCut(added);
    QCOMPARE(added.IconBitmap.isNull(), !captured);
    const QVariant blobSize = rawSql(world.shortCutFile(), "select length(FICON) from t_sc");
    QCOMPARE(blobSize.toInt() > 0, captured);
    TQShortCutList list;
    store.LoadShortCuts("g", list);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].IconBitmap.size(), added.IconBitmap.size());
    if (captured)
        QCOMPARE(list[0].IconBitmap.pixelColor(5, 20), PeFixture::pixel32(5, 20));
    QCOMPARE(list[0].Parameters, QString());
}

void TestStore::shortCutsOfOneGroupInFileNameOrder() {
    StoreWorld world;
    Tdm& store = world.open();
    for (const char* name : {"c.bat", "a.bat", "B.bat", "b.bat"})
        add(store, shortCut("g", name));
    add(store, shortCut("other", "0.bat"));
    rawSql(world.shortCutFile(), "update t_sc set Parameters=NULL where FileName='a.bat'");
    TQShortCutList list{shortCut("stale", "stale")};
    store.LoadShortCuts("g", list);
    QCOMPARE(fileNames(list), QStringList({"B.bat", "a.bat", "b.bat", "c.bat"}));
    QCOMPARE(list[1].Parameters, QString());
    QCOMPARE(list[1].DisplayName, QString("name of a.bat"));
    QCOMPARE(list[1].GroupName, QString("g"));
    store.LoadShortCuts("nothing", list);
    QVERIFY(list.isEmpty());
}

void TestStore::deleteGroupKeepsItsShortCuts() {
    StoreWorld world;
    Tdm& store = world.open();
    addGroups(store, {"Tools", "Games"});
    add(store, shortCut("Tools", "t.bat"));
    store.DeleteGroup("Tools");
    QCOMPARE(groupNames(store), QStringList({"Games"}));
    QVERIFY(store.ShortCutExists("t.bat"));
    TQShortCutList list;
    store.LoadShortCuts("Tools", list);
    QCOMPARE(fileNames(list), QStringList({"t.bat"}));
}

void TestStore::missingRowFailsWithUpdateFailed_data() {
    QTest::addColumn<StoreOperation>("operation");
    QTest::newRow("DeleteShortCut")
        << StoreOperation([](Tdm& s) { s.DeleteShortCut(shortCut("g", "gone.bat")); });
    QTest::newRow("UpdateShortCut")
        << StoreOperation([](Tdm& s) { s.UpdateShortCut("gone.bat", shortCut("g", "x.bat")); });
    QTest::newRow("SetGroupIndex") << StoreOperation([](Tdm& s) { s.SetGroupIndex("gone", 1); });
    QTest::newRow("DeleteGroup") << StoreOperation([](Tdm& s) { s.DeleteGroup("gone"); });
}

void TestStore::missingRowFailsWithUpdateFailed() {
    QFETCH(StoreOperation, operation);
    StoreWorld world;
    Tdm& store = world.open();
    addGroups(store, {"Gone"});
    add(store, shortCut("g", "Gone.bat"));
    const QByteArray shortCutsBefore = fileBytes(world.shortCutFile());
    const QByteArray groupsBefore = fileBytes(world.groupFile());
    QCOMPARE(errorOf([&] { operation(store); }), QString("Update failed"));
    QCOMPARE(fileBytes(world.shortCutFile()), shortCutsBefore);
    QCOMPARE(fileBytes(world.groupFile()), groupsBefore);
}

void TestStore::updateKeepsFileNameAndIcon() {
    StoreWorld world;
    Tdm& store = world.open();
    add(store, shortCut("Old", "tool.bat", solidPicture(Qt::red)));
    TQShortCut changed = shortCut("New", "other.bat", solidPicture(Qt::blue));
    changed.DisplayName = "新名字";
    changed.Parameters = "-portable";
    store.UpdateShortCut("tool.bat", changed);

    QVERIFY(!store.ShortCutExists("other.bat"));
    TQShortCutList list;
    store.LoadShortCuts("New", list);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].FileName, QString("tool.bat"));
    QCOMPARE(list[0].DisplayName, QString("新名字"));
    QCOMPARE(list[0].Parameters, QString("-portable"));
    QCOMPARE(list[0].IconBitmap.pixelColor(3, 3), QColor(Qt::red));
}

void TestStore::duplicateKeyIsRefused_data() {
    QTest::addColumn<StoreOperation>("operation");
    QTest::addColumn<QString>("tableFile");
    QTest::addColumn<QString>("table");
    QTest::newRow("shortcut") << StoreOperation([](Tdm& s) {
        add(s, shortCut("other", "E:\\a.bat"));
    }) << "t_sc.dat"
                              << "t_sc";
    QTest::newRow("category") << StoreOperation([](Tdm& s) {
        s.AddGroup({"Tools", 5});
    }) << "t_scg.dat"
                              << "t_scg";
}

void TestStore::duplicateKeyIsRefused() {
    QFETCH(StoreOperation, operation);
    QFETCH(QString, tableFile);
    QFETCH(QString, table);
    StoreWorld world;
    Tdm& store = world.open();
    addGroups(store, {"Tools"});
    add(store, shortCut("g", "E:\\a.bat"));
    const QString message = errorOf([&] { operation(store); });
    QVERIFY2(message.contains("UNIQUE"), qPrintable(message));
    QCOMPARE(rawSql(world.dataDir() + "/" + tableFile, "select count(*) from " + table).toInt(), 1);
}

void TestStore::undecodableIconLeavesOnlyThatPictureEmpty() {
    StoreWorld world;
    Tdm& store = world.open();
    for (const char* name : {"a.bat", "b.bat"})
        add(store, shortCut("g", name, solidPicture(Qt::red)));
    rawSql(world.shortCutFile(), "update t_sc set FICON=x'4e4f5450494354' where FileName='a.bat'");
    TQShortCutList list;
    store.LoadShortCuts("g", list);
    QCOMPARE(fileNames(list), QStringList({"a.bat", "b.bat"}));
    QVERIFY(list[0].IconBitmap.isNull());
    QCOMPARE(list[1].IconBitmap.size(), QSize(32, 32));
}

void TestStore::unwritableDataFolderFailsEveryOperation() {
    StoreWorld world;
    world.sandbox.writeFile("app/data", "a file where the folder belongs");
    QCOMPARE(errorOf([&] { world.open(); }), "Cannot create " + world.dataDir());
    Tdm& store = world.store;
    const QList<std::function<void()>> operations = {
        [&] { store.ShortCutExists("a"); },
        [&] { add(store, shortCut("g", "a.bat")); },
        [&] {
            TQShortCutGroupList groups;
            store.LoadGroups(groups);
        },
        [&] {
            store.AddGroup({"g", 0});
        },
        [&] { store.SetGroupOrder({"g"}); },
    };
    for (const auto& operation : operations)
        QVERIFY(errorOf(operation).contains("Cannot create " + world.dataDir()));
    QVERIFY(QFileInfo(world.dataDir()).isFile());
}

void TestStore::damagedTableFileIsReportedAndKept_data() {
    QTest::addColumn<QString>("damagedFile");
    QTest::addColumn<QString>("damage");
    for (const char* file : {"t_sc.dat", "t_scg.dat"}) {
        for (const char* damage : {"random bytes", "truncated", "empty file", "foreign table"})
            QTest::addRow("%s %s", file, damage) << file << damage;
    }
}

void TestStore::damagedTableFileIsReportedAndKept() {
    QFETCH(QString, damagedFile);
    QFETCH(QString, damage);
    StoreWorld world;
    const QString path = world.dataDir() + "/" + damagedFile;
    {
        Tdm filled;
        filled.DataModuleCreate();
        for (int i = 0; i < 40; ++i) {
            filled.AddGroup({QString("group %1 ").arg(i).repeated(20), i});
            add(filled, shortCut("g", QString("%1.bat").arg(i), solidPicture(Qt::red)));
        }
    }
    QByteArray damaged;
    if (damage == "random bytes") {
        damaged.resize(8192);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(damaged.data()),
                                      damaged.size() / 4);
    } else if (damage == "truncated") {
        const QByteArray whole = fileBytes(path);
        damaged = whole.left(whole.size() / 2 + 100);
    } else if (damage == "foreign table") {
        QFile::remove(path);
        rawSql(path, "create table other (x)");
        damaged = fileBytes(path);
    }
    QFile::remove(path);
    world.sandbox.writeFile("app/data/" + damagedFile, damaged);

    const QString message = errorOf([&] { world.open(); });
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(fileBytes(path), damaged);
    QVERIFY(!errorOf([&] { world.store.ShortCutExists("0.bat"); }).isEmpty());
    QVERIFY(!errorOf([&] { world.store.AddGroup({"new", 0}); }).isEmpty());
    QCOMPARE(fileBytes(path), damaged);
}

void TestStore::groupOrderIsSavedAllOrNothing() {
    StoreWorld world;
    Tdm& store = world.open();
    addGroups(store, {"A", "B", "C"});
    store.SetGroupOrder({"C", "A", "B"});
    QCOMPARE(groupNames(store), QStringList({"C", "A", "B"}));
    QCOMPARE(errorOf([&] {
                 store.SetGroupOrder({"B", "C", "missing", "A"});
             }),
             QString("Update failed"));
    QCOMPARE(groupNames(store), QStringList({"C", "A", "B"}));
    QCOMPARE(rawSql(world.groupFile(), "select max(groupindex) from t_scg").toInt(), 3);
}

void TestStore::picturesAreLoaded() {
    StoreWorld world;
    Tdm& store = world.open();
    QCOMPARE(store.ImageList1.Count(), 45);
    QCOMPARE(store.ImageList2.Count(), 4);
    for (int i = 0; i < store.ImageList1.Count(); ++i)
        QCOMPARE(store.ImageList1.Image(i).size(), QSize(32, 32));
    for (int i = 0; i < store.ImageList2.Count(); ++i)
        QCOMPARE(store.ImageList2.Image(i).size(), QSize(32, 32));
    QCOMPARE(store.MissingFileBitmap, store.ImageList2.Image(PictureMissing));
    QCOMPARE(store.BatFileBitmap, store.ImageList2.Image(PictureBat));
    QCOMPARE(store.ComFileBitmap, store.ImageList2.Image(PictureCom));
    QCOMPARE(store.OtherFileBitmap, store.ImageList2.Image(PictureOther));
    // The drawn question sign: red rim, white mark in the middle column.
    const QImage missing = store.ImageList2.Image(PictureMissing);
    QCOMPARE(missing.pixelColor(16, 4).red() > 200, true);
    QCOMPARE(missing.pixelColor(16, 24), QColor(Qt::white));
    QCOMPARE(Picture("category/44").size(), QSize(32, 32));
    for (int i = 0; i <= 10; ++i) {
        QCOMPARE(Picture(QString("action32/%1").arg(i)).size(), QSize(32, 32));
        QCOMPARE(Picture(QString("action16/%1").arg(i)).size(), QSize(16, 16));
    }
    for (int size : {16, 22, 24, 32})
        QCOMPARE(Picture(QString("app/%1").arg(size)).size(), QSize(size, size));
    QVERIFY(Picture("category/45").isNull());
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
