#pragma once

#include <QString>
#include <QStringList>

// The file name of a path without folder and without its last extension.
QString ExtractFileNameNoExt(const QString& path);
// The folder part of a path: up to and including its last "\", "/" or ":"; empty without one.
QString ExtractFolderPart(const QString& path);
// The extension of the last path component, with its dot, lower-cased in A-Z only.
QString LowerCaseExtension(const QString& path);
// Lower-cases the letters A to Z only.
QString AsciiLower(const QString& text);

// Starts a shortcut's program (both texts may begin with %removedrive%) in its own folder.
void LaunchProgram(const QString& fileName, const QString& parameters);
// Deletes a folder with everything in it; true when the folder itself was removed.
bool DeleteTree(const QString& folder);

// The text wrapped in double quotes.
QString QuoteString(const QString& text);

// True for "." and "..".
bool IsDotEntry(const QString& name);
// Appends the files of `path` matching `mask`, and with `recurse` those of all subfolders.
void SearchFiles(const QString& path, const QString& mask, bool recurse, QStringList& list);
// Like SearchFiles, descending into subfolders while `depth` is 0 or more.
void SearchFilesDepth(const QString& path, const QString& mask, int depth, QStringList& list);

// The screen-wide hourglass while it lives; a no-op without a GUI application.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    bool m_shown;
};
