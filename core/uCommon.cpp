#include "uCommon.h"

#include "Platform.h"
#include "uEnvironment.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

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

// --- DeleteTree

void removeFileEntry(const QFileInfo& entry) {
    if (!platform().isReadOnlyFile(entry.filePath().toStdString()))
        QFile::remove(entry.filePath());
}

// A link is removed as an entry of its own: its target lies outside the tree.
void removeLink(const QFileInfo& entry) {
    if (!QFile::remove(entry.filePath()))
        QDir().rmdir(entry.filePath());
}

bool isLink(const QFileInfo& entry) {
    return entry.isSymLink() || entry.isJunction();
}

bool isRealFolder(const QFileInfo& entry) {
    return entry.isDir() && !isLink(entry);
}

bool removeFolderTree(const QString& folder) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (isRealFolder(entry))
            removeFolderTree(entry.filePath());
        else if (isLink(entry))
            removeLink(entry);
        else
            removeFileEntry(entry);
    }
    return QDir().rmdir(folder);
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

// The folder's own matching files (links to files included), in enumeration order.
void appendMatchingFiles(const QString& folder, const QString& mask, QStringList& list) {
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QString& name : names)
        if (maskMatches(mask, name))
            list.append(folder + name);
}

// Subfolders to descend into: links to folders are not followed, so no cycle can form.
QStringList searchableSubfolders(const QString& folder) {
    const QStringList names =
        QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoSymLinks, QDir::Unsorted);
    QStringList subfolders;
    for (const QString& name : names) {
        const QString path = folder + name;
        if (!IsDotEntry(name) && !platform().isHiddenEntry(path.toStdString()) &&
            !QFileInfo(path).isJunction())
            subfolders.append(path);
    }
    return subfolders;
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
    // A link given as the folder is not entered: its contents lie elsewhere.
    if (!isRealFolder(QFileInfo(QDir::cleanPath(folder))))
        return false;
    return removeFolderTree(withClosingSeparator(folder));
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
    appendMatchingFiles(folder, mask, list);
    if (!recurse)
        return;
    for (const QString& subfolder : searchableSubfolders(folder))
        SearchFiles(subfolder, mask, recurse, list);
}

void SearchFilesDepth(const QString& path, const QString& mask, int depth, QStringList& list) {
    if (path.isEmpty())
        return;
    const QString folder = withClosingSeparator(path);
    appendMatchingFiles(folder, mask, list);
    if (depth < 0)
        return;
    for (const QString& subfolder : searchableSubfolders(folder))
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
