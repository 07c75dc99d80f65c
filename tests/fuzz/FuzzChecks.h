#pragma once

// The properties the fuzz targets check, shared with the CTest case that replays the seeds
// and the kept regression inputs. Each check returns nullptr when the input passed, else
// what went wrong; a crash, a hang or a sanitizer report fails it too.

#include "DrivePath.h"
#include "PeIconReader.h"
#include "Platform.h"
#include "uCommon.h"
#include "uDataModule.h"
#include "uEnvironment.h"

#include <QByteArray>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

namespace fuzzchecks {

inline bool isDelimiter(QChar c) {
    return c == '\\' || c == '/' || c == ':';
}

inline bool hasDelimiter(const QString& text) {
    return std::any_of(text.begin(), text.end(), isDelimiter);
}

// ExtractFolderPart and ExtractFileNameNoExt split a path without losing or adding text.
inline const char* checkFileNameParts(const QString& path) {
    const QString folder = ExtractFolderPart(path);
    if (!path.startsWith(folder) || (!folder.isEmpty() && !isDelimiter(folder.back())))
        return "folder part is not the path up to its last delimiter";
    const QString name = path.mid(folder.size());
    if (hasDelimiter(name))
        return "file name part holds a delimiter";
    const QString stem = ExtractFileNameNoExt(path);
    if (stem == name)
        return name.contains('.') ? "extension not removed" : nullptr;
    if (!name.startsWith(stem) || name.at(stem.size()) != '.' ||
        name.mid(stem.size() + 1).contains('.'))
        return "name without extension is not the name before its last dot";
    if (!LowerCaseExtension(path).isEmpty() &&
        LowerCaseExtension(path).size() != name.size() - stem.size())
        return "extension and name without extension do not add up";
    return nullptr;
}

// Only a leading reference is replaced; the tail after it comes back as it was.
inline const char* checkExpandPath(const QString& path) {
    const QString expanded = Env->ExpandPath(path);
    const int close = path.startsWith('%') ? path.indexOf('%', 1) : -1;
    if (close < 0)
        return expanded == path ? nullptr : "path without a leading reference changed";
    if (!expanded.endsWith(path.mid(close + 1)))
        return "tail after the leading reference changed";
    const QString name = path.mid(1, close - 1);
    if (name == "removedrive" && expanded != "E:" + path.mid(close + 1))
        return "removedrive not expanded";
    return nullptr;
}

// The drive part is a prefix of the path, and the path begins with it.
inline const char* checkDrivePart(const std::string& path, const std::string& otherDrive) {
    const std::optional<std::string> drive = drivepath::driveByName(path);
    if (drive && (path.compare(0, drive->size(), *drive) != 0 || drive->empty()))
        return "drive part is not a prefix of the path";
    if (drive && !drivepath::pathBeginsWithDrive(path, *drive))
        return "path does not begin with its own drive part";
    drivepath::pathBeginsWithDrive(path, otherDrive);
    if (!path.empty() && path[0] != '/' && platform().drivePart(path) != drive.value_or(""))
        return "platform drive part differs from the string rules";
    return nullptr;
}

// Input: a path, optionally followed by a NUL and a second path used as a drive.
inline const char* checkPaths(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string path = input.substr(0, split);
    const std::string drive = split == std::string::npos ? std::string() : input.substr(split + 1);
    const QString text = QString::fromStdString(path);
    if (const char* failure = checkFileNameParts(text))
        return failure;
    if (const char* failure = checkExpandPath(text))
        return failure;
    Env->GetVariable(text);
    return checkDrivePart(path, drive);
}

// Input: a PE file image. The icon, when one is found, is a one-entry ICO file whose data
// the file held, and decoding it does not fail badly.
inline const char* checkPeIcon(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> image(data, data + size);
    const std::vector<std::uint8_t> ico = firstIconFromPeImage(image);
    if (ico.empty())
        return nullptr;
    if (ico.size() < 22 || ico.size() - 22 > size)
        return "icon larger than the file";
    const std::vector<std::uint8_t> header(ico.begin(), ico.begin() + 6);
    if (header != std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0})
        return "not a one-entry ICO header";
    const std::uint32_t dataSize =
        ico[14] | ico[15] << 8 | ico[16] << 16 | std::uint32_t(ico[17]) << 24;
    if (dataSize != ico.size() - 22)
        return "ICO data size does not match";
    QImage::fromData(
        QByteArray(reinterpret_cast<const char*>(ico.data()), static_cast<qsizetype>(ico.size())),
        "ICO");
    return nullptr;
}

// A store with one shortcut whose FICON each input replaces, as a damaged or foreign
// table would hold it; loading the category must still give the row.
class FiconStore {
public:
    // `exeFolder` holds the executable; the store lives in its "data" folder.
    explicit FiconStore(const QString& exeFolder) : m_shortCutFile(exeFolder + "/data/t_sc.dat") {
        m_store.DataModuleCreate();
        TQShortCut shortCut;
        shortCut.GroupName = "g";
        shortCut.DisplayName = "d";
        shortCut.FileName = "f.bat";
        m_store.AddShortCut(shortCut);
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", RawConnection);
        raw.setDatabaseName(m_shortCutFile);
        raw.open();
        QSqlQuery(raw).exec("PRAGMA synchronous=OFF");
        QSqlQuery(raw).exec("PRAGMA journal_mode=MEMORY");
    }
    ~FiconStore() { QSqlDatabase::removeDatabase(RawConnection); }
    FiconStore(const FiconStore&) = delete;
    FiconStore& operator=(const FiconStore&) = delete;

    const char* check(const std::uint8_t* data, std::size_t size) {
        QSqlQuery update(QSqlDatabase::database(RawConnection, false));
        update.prepare("UPDATE t_sc SET FICON=?");
        update.addBindValue(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        if (!update.exec())
            return "cannot store the picture";
        TQShortCutList list;
        m_store.LoadShortCuts("g", list);
        if (list.size() != 1 || list.first().FileName != "f.bat")
            return "the row did not load";
        const QImage& picture = list.first().IconBitmap;
        if (!picture.isNull() && (picture.width() <= 0 || picture.height() <= 0))
            return "picture without a size";
        return nullptr;
    }

private:
    static constexpr const char* RawConnection = "fuzz_ficon_raw";
    QString m_shortCutFile;
    Tdm m_store;
};

} // namespace fuzzchecks
