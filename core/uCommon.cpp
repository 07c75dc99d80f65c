#include "uCommon.h"

#include "Platform.h"
#include "uEnvironment.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <filesystem>

namespace {

bool isPathDelimiter(QChar c) {
    return c == '\\' || c == '/' || c == ':';
}

// Index of the last "\", "/" or ":"; -1 without one.
int lastDelimiter(const QString& path) {
    for (int i = path.size() - 1; i >= 0; --i)
        if (isPathDelimiter(path[i]))
            return i;
    return -1;
}

QString fileNamePart(const QString& path) {
    return path.mid(lastDelimiter(path) + 1);
}

// --- search

QString withClosingSeparator(const QString& path) {
    if (path.endsWith('/') || path.endsWith('\\'))
        return path;
    return path + QDir::separator();
}

bool sameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// "*" matches any run of characters, "?" any one character; letters compare without case.
bool wildcardMatches(QStringView mask, QStringView name) {
    int m = 0, n = 0, starMask = -1, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || sameLetter(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

// As on Windows, a mask ending in ".*" also takes names without an extension ("*.*" = all).
bool maskMatches(const QString& mask, const QString& name) {
    if (mask.isEmpty())
        return false;
    if (wildcardMatches(mask, name))
        return true;
    return mask.endsWith(".*") && !name.contains('.') &&
           wildcardMatches(QStringView(mask).chopped(2), name);
}

// An entry's name as Qt spells it; the standard library gives UTF-8 on every system.
QString entryName(const std::filesystem::directory_entry& entry) {
    return QString::fromStdString(entry.path().filename().u8string());
}

// One pass over the folder: its matching files (links to files included) go to the list in
// enumeration order; its subfolders are returned, without links to folders, so no cycle can
// form. The entry types come with the listing, so plain files and folders cost no query each.
QStringList scanFolder(const QString& folder, const QString& mask, QStringList& list) {
    namespace fs = std::filesystem;
    QStringList subfolders;
    std::error_code error;
    for (fs::directory_iterator entry(fs::u8path(folder.toStdString()), error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code typeError;
        if (entry->is_regular_file(typeError)) {
            const QString name = entryName(*entry);
            if (maskMatches(mask, name))
                list.append(folder + name);
        } else if (entry->is_directory(typeError) && !entry->is_symlink(typeError)) {
            subfolders.append(folder + entryName(*entry));
        }
    }
    return subfolders;
}

// The subfolders to descend into: hidden ones and junctions are left out.
QStringList searchableSubfolders(const QStringList& subfolders) {
    QStringList searchable;
    for (const QString& path : subfolders)
        if (!platform().isHiddenEntry(path.toStdString()) && !QFileInfo(path).isJunction())
            searchable.append(path);
    return searchable;
}

} // namespace

QString ExtractFileNameNoExt(const QString& path) {
    const QString name = fileNamePart(path);
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString ExtractFolderPart(const QString& path) {
    return path.left(lastDelimiter(path) + 1);
}

QString LowerCaseExtension(const QString& path) {
    const QString name = fileNamePart(path);
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : AsciiLower(name.mid(dot));
}

QString AsciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() - 'A' + 'a');
    return lower;
}

void LaunchProgram(const QString& fileName, const QString& parameters) {
    const QString program = Env->ExpandPath(fileName);
    const QString arguments = Env->ExpandPath(parameters);
    platform().shellOpen(program.toStdString(), arguments.toStdString(),
                         ExtractFolderPart(program).toStdString(), ShowPlain);
}

bool DeleteTree(const QString& folder) {
    if (folder.isEmpty())
        return false;
    TBusyCursor busy;
    return platform().deleteFolderTree(folder.toStdString());
}

QString QuoteString(const QString& text) {
    return '"' + text + '"';
}

bool IsDotEntry(const QString& name) {
    return name == "." || name == "..";
}

void SearchFiles(const QString& path, const QString& mask, bool recurse, QStringList& list) {
    if (path.isEmpty())
        return;
    const QString folder = withClosingSeparator(path);
    const QStringList subfolders = scanFolder(folder, mask, list);
    if (!recurse)
        return;
    for (const QString& subfolder : searchableSubfolders(subfolders))
        SearchFiles(subfolder, mask, recurse, list);
}

void SearchFilesDepth(const QString& path, const QString& mask, int depth, QStringList& list) {
    if (path.isEmpty())
        return;
    const QString folder = withClosingSeparator(path);
    const QStringList subfolders = scanFolder(folder, mask, list);
    if (depth < 0)
        return;
    for (const QString& subfolder : searchableSubfolders(subfolders))
        SearchFilesDepth(subfolder, mask, depth - 1, list);
}

TBusyCursor::TBusyCursor()
    : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (m_shown)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor() {
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}
