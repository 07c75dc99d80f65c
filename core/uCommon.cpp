#include "uCommon.h"

QString ExtractFileNameNoExt(const QString& path) { return path; }
QString ExtractFolderPart(const QString& path) { return path; }
QString LowerCaseExtension(const QString& path) { return path; }
QString AsciiLower(const QString& text) { return text; }
void LaunchProgram(const QString&, const QString&) {}
bool DeleteTree(const QString&) { return false; }
QString QuoteString(const QString& text) { return '"' + text + '"'; }
bool IsDotEntry(const QString& name) { return name == "." || name == ".."; }
void SearchFiles(const QString&, const QString&, bool, QStringList&) {}
void SearchFilesDepth(const QString&, const QString&, int, QStringList&) {}
TBusyCursor::TBusyCursor() {}
TBusyCursor::~TBusyCursor() {}
