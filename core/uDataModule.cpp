#include "uDataModule.h"

#include "KeldaError.h"
#include "Platform.h"
#include "uCommon.h"
#include "uPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

#include <atomic>

Tdm* dm = nullptr;

int TImageList::Add(const QImage& image) {
    m_images.append(image);
    return Count() - 1;
}
void TImageList::TruncateTo(int count) {
    while (Count() > count)
        m_images.removeLast();
}

namespace {

constexpr int CategoryPictureCount = 45;
constexpr int PictureSize = 32;
const char* const UpdateFailed = "Update failed";
const char* const NotOpenPrefix = "The shortcut store is not open: ";

// One attached database file and the table it holds.
struct TableFile {
    const char* schema;
    const char* fileName;
    const char* table;
    const char* createStatement;
};

// Binary collation: names and paths compare exactly, letter case included.
const TableFile ShortCutFile{
    "sc", "t_sc.dat", "t_sc",
    "CREATE TABLE sc.t_sc (ShortCutGroupName TEXT, SCTEXT TEXT,"
    " FileName TEXT NOT NULL COLLATE BINARY PRIMARY KEY, Parameters TEXT, FICON BLOB)"};
const TableFile GroupFile{
    "scg", "t_scg.dat", "t_scg",
    "CREATE TABLE scg.t_scg (groupindex INTEGER,"
    " groupname TEXT NOT NULL COLLATE BINARY PRIMARY KEY, imageindex INTEGER)"};

QString engineText(const QSqlError& error) {
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

QSqlQuery prepared(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    // Rows are read once, in order: no copy of every value is kept for scrolling back.
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        throw KeldaError(engineText(query.lastError()));
    return query;
}

void execute(QSqlQuery& query) {
    if (!query.exec())
        throw KeldaError(engineText(query.lastError()));
}

void execute(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (!query.exec(statement))
        throw KeldaError(engineText(query.lastError()));
}

bool hasRow(const QSqlDatabase& db, const QString& statement, const QVariant& value) {
    QSqlQuery query = prepared(db, statement);
    query.addBindValue(value);
    execute(query);
    return query.next();
}

// Rolls back unless committed, so a failed operation leaves the tables as they were.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db) : m_db(std::move(db)) {
        if (!m_db.transaction())
            throw KeldaError(engineText(m_db.lastError()));
    }
    ~Transaction() {
        if (!m_committed)
            m_db.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit() {
        if (!m_db.commit())
            throw KeldaError(engineText(m_db.lastError()));
        m_committed = true;
    }

private:
    QSqlDatabase m_db;
    bool m_committed = false;
};

// Runs a bound statement that must change exactly one row.
void executeSingleRow(QSqlQuery& query) {
    execute(query);
    if (query.numRowsAffected() != 1)
        throw KeldaError(UpdateFailed);
}

void executeSingleRow(const QSqlDatabase& db, const QString& statement,
                      const QVariantList& values) {
    Transaction transaction(db);
    QSqlQuery query = prepared(db, statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    executeSingleRow(query);
    transaction.commit();
}

QByteArray bmpFileImage(const QImage& image) {
    QByteArray bytes;
    if (image.isNull())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A blob that is not a BMP file image gives an empty picture.
QImage pictureFromBmp(const QByteArray& bytes) {
    QImage image;
    if (!bytes.isEmpty())
        image.loadFromData(bytes, "BMP");
    return image;
}

QImage compiledPicture(const QString& name) {
    QImage image = Picture(name);
    if (image.isNull())
        throw KeldaError("Missing picture " + name);
    return image;
}

// A red round sign with a white question mark: the picture of a missing program.
QImage missingProgramPicture() {
    QImage image(PictureSize, PictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xa4, 0x00, 0x00), 1.5));
    painter.setBrush(QColor(0xef, 0x29, 0x29));
    painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    QPainterPath hook;
    hook.moveTo(11.5, 12.5);
    hook.arcTo(QRectF(11.5, 7, 9, 9), 180, -270);
    hook.lineTo(16, 19);
    painter.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 24), 2.1, 2.1);
    return image;
}

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("kelda_store_%1").arg(++counter);
}

// The list and the tray menu scan the shortcut table once per category; SQLite's default
// 2 MB page cache is outgrown by a few thousand icons and would make every scan re-read the
// file. The cache grows only as far as the table does.
const int PageCacheKibibytes = 16384;

void attach(const QSqlDatabase& db, const QString& path, const TableFile& file) {
    QSqlQuery query = prepared(db, QStringLiteral("ATTACH DATABASE ? AS %1").arg(file.schema));
    query.addBindValue(path);
    execute(query);
    execute(db,
            QStringLiteral("PRAGMA %1.cache_size=-%2").arg(file.schema).arg(PageCacheKibibytes));
}

// Rollback journal and full sync: the tables often live on a removable drive.
void makeDurable(const QSqlDatabase& db, const TableFile& file) {
    execute(db, QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(file.schema));
    execute(db, QStringLiteral("PRAGMA %1.synchronous=FULL").arg(file.schema));
}

// The header of an SQLite file: its magic text, and a file at least as long as the page count
// the header vouches for. Reading the header instead of the whole file keeps the start quick
// while a truncated or foreign file is still refused before anything is written to it.
QString headerFault(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray header = file.read(100);
    static const QByteArray magic("SQLite format 3", 16);
    if (header.size() < 100 || !header.startsWith(magic))
        return QStringLiteral("file is not a database");
    const uchar* bytes = reinterpret_cast<const uchar*>(header.constData());
    const quint16 storedPageSize = qFromBigEndian<quint16>(bytes + 16);
    const qint64 pageSize = storedPageSize == 1 ? 65536 : storedPageSize;
    const quint32 changeCounter = qFromBigEndian<quint32>(bytes + 24);
    const quint32 pageCount = qFromBigEndian<quint32>(bytes + 28);
    const quint32 validFor = qFromBigEndian<quint32>(bytes + 92);
    if (validFor == changeCounter && pageCount * pageSize > file.size())
        return QStringLiteral("the file is truncated");
    return {};
}

// Reading the schema first lets the engine roll back what a killed run left half written;
// then the file must be whole and hold our table.
void checkTable(const QSqlDatabase& db, const QString& path, const TableFile& file) {
    const QString tableQuery =
        QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name=?")
            .arg(file.schema);
    const bool hasTable = hasRow(db, tableQuery, QString::fromLatin1(file.table));
    const QString fault = headerFault(path);
    if (!fault.isEmpty())
        throw KeldaError(fault);
    if (!hasTable)
        throw KeldaError(QStringLiteral("no table ") + file.table);
}

// A present file is only read here, never repaired or recreated.
void attachExistingTable(const QSqlDatabase& db, const QString& path, const TableFile& file) {
    try {
        attach(db, path, file);
        checkTable(db, path, file);
    } catch (const KeldaError& error) {
        throw KeldaError("The table file " + path +
                         " is damaged or is not a KELDA table: " + error.message());
    }
    makeDurable(db, file);
}

void removeWithJournal(const QString& path) {
    QFile::remove(path + "-journal");
    QFile::remove(path);
}

void detach(const QSqlDatabase& db, const TableFile& file) {
    QSqlQuery(db).exec(QStringLiteral("DETACH DATABASE %1").arg(file.schema));
}

// The table is built under a temporary name and renamed into place once committed, so a
// program killed while creating it leaves no half-made file that the next start would
// refuse as damaged; a leftover temporary file is simply built anew.
void createTableFile(const QSqlDatabase& db, const QString& path, const TableFile& file) {
    const QString building = path + ".new";
    try {
        removeWithJournal(building);
        attach(db, building, file);
        makeDurable(db, file);
        execute(db, QString::fromLatin1(file.createStatement));
        detach(db, file);
        if (!QFile::rename(building, path))
            throw KeldaError("cannot rename " + building);
        attach(db, path, file);
        makeDurable(db, file);
    } catch (const KeldaError& error) {
        detach(db, file);
        removeWithJournal(building);
        throw KeldaError("Cannot create the table file " + path + ": " + error.message());
    }
}

void openTableFile(const QSqlDatabase& db, const QString& path, const TableFile& file) {
    if (QFileInfo::exists(path))
        attachExistingTable(db, path, file);
    else
        createTableFile(db, path, file);
}

} // namespace

Tdm::Tdm() : m_unavailableReason("the data folder has not been prepared") {
    LoadPictures();
}

Tdm::~Tdm() {
    DataModuleDestroy();
}

void Tdm::LoadPictures() {
    for (int i = 0; i < CategoryPictureCount; ++i)
        ImageList1.Add(compiledPicture(QStringLiteral("category/%1").arg(i)));
    ImageList2.Add(missingProgramPicture());
    for (int i = PictureBat; i <= PictureOther; ++i)
        ImageList2.Add(compiledPicture(QStringLiteral("filetype/%1").arg(i)));
}

void Tdm::DataModuleCreate() {
    MissingFileBitmap = ImageList2.Image(PictureMissing);
    BatFileBitmap = ImageList2.Image(PictureBat);
    ComFileBitmap = ImageList2.Image(PictureCom);
    OtherFileBitmap = ImageList2.Image(PictureOther);

    const QString folder = ExtractFolderPart(QString::fromStdString(platform().executablePath()));
    // The table paths use the separator that the executable's path uses.
    const QString separator = folder.endsWith('\\') ? QStringLiteral("\\") : QStringLiteral("/");
    DataPath = folder + "data";
    if (!QFileInfo(DataPath).isDir() && !QDir().mkdir(DataPath)) {
        m_unavailableReason = "Cannot create " + DataPath;
        throw KeldaError(m_unavailableReason);
    }
    ShortCutTable = QuoteString(DataPath + separator + ShortCutFile.fileName);
    GroupTable = QuoteString(DataPath + separator + GroupFile.fileName);
    OpenStore(separator);
}

void Tdm::OpenStore(const QString& separator) {
    m_connectionName = nextConnectionName();
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_connectionName);
    db.setDatabaseName(":memory:");
    try {
        if (!db.open())
            throw KeldaError(engineText(db.lastError()));
        openTableFile(db, DataPath + separator + ShortCutFile.fileName, ShortCutFile);
        openTableFile(db, DataPath + separator + GroupFile.fileName, GroupFile);
    } catch (const KeldaError& error) {
        m_unavailableReason = error.message();
        db.close();
        throw;
    }
    m_unavailableReason.clear();
}

void Tdm::DataModuleDestroy() {
    MissingFileBitmap = QImage();
    BatFileBitmap = QImage();
    ComFileBitmap = QImage();
    OtherFileBitmap = QImage();
    if (m_connectionName.isEmpty())
        return;
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

QSqlDatabase Tdm::Database() const {
    if (!m_unavailableReason.isEmpty())
        throw KeldaError(NotOpenPrefix + m_unavailableReason);
    return QSqlDatabase::database(m_connectionName, false);
}

bool Tdm::ShortCutExists(const QString& fileName) const {
    return hasRow(Database(), "SELECT 1 FROM sc.t_sc WHERE FileName=?", fileName);
}

void Tdm::AddShortCut(TQShortCut& shortCut) {
    const QSqlDatabase db = Database();
    shortCut.CaptureIcon();
    QSqlQuery query = prepared(db, "INSERT INTO sc.t_sc (ShortCutGroupName, SCTEXT, FileName,"
                                   " Parameters, FICON) VALUES (?, ?, ?, ?, ?)");
    query.addBindValue(shortCut.GroupName);
    query.addBindValue(shortCut.DisplayName);
    query.addBindValue(shortCut.FileName);
    query.addBindValue(shortCut.Parameters);
    query.addBindValue(bmpFileImage(shortCut.IconBitmap));
    execute(query);
}

void Tdm::DeleteShortCut(const TQShortCut& shortCut) {
    executeSingleRow(Database(), "DELETE FROM sc.t_sc WHERE FileName=?", {shortCut.FileName});
}

void Tdm::UpdateShortCut(const QString& oldFileName, const TQShortCut& shortCut) {
    executeSingleRow(Database(),
                     "UPDATE sc.t_sc SET ShortCutGroupName=?, SCTEXT=?, Parameters=?"
                     " WHERE FileName=?",
                     {shortCut.GroupName, shortCut.DisplayName, shortCut.Parameters, oldFileName});
}

void Tdm::LoadShortCuts(const QString& groupName, TQShortCutList& list) const {
    list.clear();
    QSqlQuery query = prepared(Database(), "SELECT ShortCutGroupName, SCTEXT, FileName,"
                                           " Parameters, FICON FROM sc.t_sc"
                                           " WHERE ShortCutGroupName=? ORDER BY FileName");
    query.addBindValue(groupName);
    execute(query);
    while (query.next()) {
        TQShortCut shortCut;
        shortCut.GroupName = query.value(0).toString();
        shortCut.DisplayName = query.value(1).toString();
        shortCut.FileName = query.value(2).toString();
        shortCut.Parameters = query.value(3).toString();
        shortCut.IconBitmap = pictureFromBmp(query.value(4).toByteArray());
        list.append(shortCut);
    }
}

void Tdm::LoadGroups(TQShortCutGroupList& list) const {
    QSqlQuery query =
        prepared(Database(), "SELECT groupname, imageindex FROM scg.t_scg ORDER BY groupindex");
    execute(query);
    while (query.next()) {
        TQShortCutGroup group;
        group.GroupName = query.value(0).toString();
        group.ImageIndex = query.value(1).toInt();
        list.append(group);
    }
}

bool Tdm::GroupExists(const QString& groupName) const {
    return hasRow(Database(), "SELECT 1 FROM scg.t_scg WHERE groupname=?", groupName);
}

void Tdm::AddGroup(const TQShortCutGroup& group) {
    const QSqlDatabase db = Database();
    Transaction transaction(db);
    QSqlQuery highest = prepared(db, "SELECT max(groupindex) FROM scg.t_scg");
    execute(highest);
    const int number = highest.next() ? highest.value(0).toInt() + 1 : 1;
    QSqlQuery insert =
        prepared(db, "INSERT INTO scg.t_scg (groupindex, groupname, imageindex) VALUES (?, ?, ?)");
    insert.addBindValue(number);
    insert.addBindValue(group.GroupName);
    insert.addBindValue(group.ImageIndex);
    executeSingleRow(insert);
    transaction.commit();
}

void Tdm::SetGroupIndex(const QString& groupName, int index) {
    executeSingleRow(Database(), "UPDATE scg.t_scg SET groupindex=? WHERE groupname=?",
                     {index, groupName});
}

void Tdm::DeleteGroup(const QString& groupName) {
    executeSingleRow(Database(), "DELETE FROM scg.t_scg WHERE groupname=?", {groupName});
}

void Tdm::SetGroupOrder(const QStringList& names) {
    const QSqlDatabase db = Database();
    Transaction transaction(db);
    QSqlQuery query = prepared(db, "UPDATE scg.t_scg SET groupindex=? WHERE groupname=?");
    for (int i = 0; i < names.size(); ++i) {
        query.bindValue(0, i + 1);
        query.bindValue(1, names.at(i));
        executeSingleRow(query);
    }
    transaction.commit();
}
