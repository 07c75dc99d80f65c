#include "PlatformLinux.h"

#include "DrivePath.h"
#include "KeldaError.h"
#include "PeIconReader.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// Read at every call: the configuration home may change while the program runs (tests).
QString configHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}
QString environmentFilePath() {
    return configHome() + "/environment.d/kelda.conf";
}
QString settingsFilePath() {
    return configHome() + "/kelda/kelda.ini";
}
QString autostartFilePath() {
    return configHome() + "/autostart/kelda.desktop";
}

QString failedToSetData(const QString& name) {
    return "Failed to set data for '" + name + "'";
}

bool makeParentFolder(const QString& filePath) {
    return QDir().mkpath(QFileInfo(filePath).absolutePath());
}

// Writes the whole file or nothing; false when it cannot be opened, throws when the write
// itself fails.
bool saveFile(const QString& path, const QByteArray& content, const QString& failure) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    if (!file.commit())
        throw KeldaError(failure);
    return true;
}

// --- environment.d: KEY=VALUE lines, the value double-quoted when the parser would change it

bool needsEnvironmentQuoting(const QString& value) {
    static const QString special = " \t\r\n\\\"'$`#";
    return std::any_of(value.begin(), value.end(), [](QChar c) { return special.contains(c); });
}

QString environmentValueText(const QString& value) {
    if (!needsEnvironmentQuoting(value))
        return value;
    QString escaped;
    for (QChar c : value) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            escaped += '\\';
        escaped += c;
    }
    return '"' + escaped + '"';
}

QString unescapeBackslashes(const QString& text) {
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

QString parseEnvironmentValue(const QString& text) {
    const QString value = text.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        return unescapeBackslashes(value.mid(1, value.size() - 2));
    if (value.size() >= 2 && value.startsWith('\'') && value.endsWith('\''))
        return value.mid(1, value.size() - 2);
    return value;
}

bool isAssignment(const QString& line) {
    const QString trimmed = line.trimmed();
    return !trimmed.startsWith('#') && trimmed.indexOf('=') > 0;
}

QString assignmentName(const QString& line) {
    return line.left(line.indexOf('=')).trimmed();
}

QString assignmentValue(const QString& line) {
    return parseEnvironmentValue(line.mid(line.indexOf('=') + 1));
}

std::optional<QStringList> readLines(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return QStringList();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void replaceOrAppendAssignment(QStringList& lines, const QString& name, const QString& line) {
    for (QString& existing : lines) {
        if (isAssignment(existing) && assignmentName(existing) == name) {
            existing = line;
            return;
        }
    }
    lines.append(line);
}

// --- drives

// The mount point of the volume that holds an absolute path, or of its nearest existing
// ancestor when the path does not exist (yet).
std::string mountPointOf(const std::string& path) {
    QString existing = QDir::cleanPath(fromStd(path));
    while (!QFileInfo::exists(existing) && existing != "/")
        existing = QFileInfo(existing).path();
    const QStorageInfo storage(existing);
    return storage.isValid() ? storage.rootPath().toStdString() : std::string();
}

// --- shell

bool hasGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// The desktop services need the GUI application's platform plug-in.
void openWithDesktop(const QUrl& url) {
    if (hasGuiApplication())
        QDesktopServices::openUrl(url);
}

// --- desktop entry (autostart)

// An Exec= argument: quoted only when it holds a reserved character, '%' doubled for the
// field codes, then escaped as a string value.
QString desktopExecArgument(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument;
    const bool quoted =
        std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    for (QChar c : program) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\'))
            argument += '\\';
        argument += c;
    }
    if (quoted)
        argument = '"' + argument + '"';
    argument.replace('%', "%%");
    argument.replace('\\', "\\\\");
    argument.replace('\n', "\\n");
    argument.replace('\t', "\\t");
    argument.replace('\r', "\\r");
    return argument;
}

QByteArray autostartEntry(const QString& executable) {
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=KELDA\nExec=%1\n")
        .arg(desktopExecArgument(executable))
        .toUtf8();
}

// --- folder tree

// A regular file itself, not a link, without the owner's write permission: one status query.
bool isReadOnlyFileAt(int folder, const char* name) {
    struct stat info {};
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
           !(info.st_mode & S_IWUSR);
}

unsigned char entryTypeAt(int folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type;
    struct stat info {};
    if (::fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_LNK;
}

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Works through folder handles and never follows a link: a link inside the tree is removed
// as an entry of its own, and its target, outside the tree, stays untouched.
bool removeFolderTreeAt(int parent, const char* name) {
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return false;
    DIR* entries = ::fdopendir(folder);
    if (!entries) {
        ::close(folder);
        return false;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (isDotEntry(entry->d_name))
            continue;
        const unsigned char type = entryTypeAt(folder, *entry);
        if (type == DT_DIR)
            removeFolderTreeAt(folder, entry->d_name);
        else if (type != DT_REG || !isReadOnlyFileAt(folder, entry->d_name))
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

QString runtimeFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

LinuxPlatform::LinuxPlatform() = default;
LinuxPlatform::~LinuxPlatform() = default;

std::string LinuxPlatform::executablePath() const {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath().toStdString();
    return QFileInfo("/proc/self/exe").symLinkTarget().toStdString();
}

bool LinuxPlatform::acquireSingleInstance(const std::string& name) {
    if (m_instanceLock)
        return true;
    auto lock = std::make_unique<QLockFile>(runtimeFolder() + "/" + fromStd(name) + ".lock");
    // Only a dead owner makes the lock stale, never its age: the guard lasts the whole run.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_instanceLock = std::move(lock);
        return true;
    }
    return lock->error() != QLockFile::LockFailedError;
}

std::optional<std::string> LinuxPlatform::processVariable(const std::string& name) const {
    if (!qEnvironmentVariableIsSet(name.c_str()))
        return std::nullopt;
    return qgetenv(name.c_str()).toStdString();
}

void LinuxPlatform::setProcessVariable(const std::string& name, const std::string& value) {
    qputenv(name.c_str(), QByteArray::fromStdString(value));
}

bool LinuxPlatform::writePersistentVariable(const std::string& name, const std::string& value,
                                            bool userScope) {
    // No machine-wide environment store exists that a portable program may write.
    if (!userScope)
        return false;
    const QString path = environmentFilePath();
    if (!makeParentFolder(path))
        return false;
    std::optional<QStringList> lines = readLines(path);
    if (!lines)
        return false;
    const QString variable = fromStd(name);
    replaceOrAppendAssignment(*lines, variable,
                              variable + "=" + environmentValueText(fromStd(value)));
    return saveFile(path, (lines->join('\n') + '\n').toUtf8(), failedToSetData(variable));
}

void LinuxPlatform::broadcastEnvironmentChange() {}

void LinuxPlatform::importPersistentEnvironment() {
    const std::optional<QStringList> lines = readLines(environmentFilePath());
    if (!lines)
        return;
    for (const QString& line : *lines) {
        if (!isAssignment(line))
            continue;
        const std::string name = assignmentName(line).toStdString();
        if (!processVariable(name))
            setProcessVariable(name, assignmentValue(line).toStdString());
    }
}

std::string LinuxPlatform::drivePart(const std::string& path) const {
    if (const std::optional<std::string> drive = drivepath::driveByName(path))
        return *drive;
    if (!path.empty() && path[0] == '/')
        return mountPointOf(path);
    return {};
}

bool LinuxPlatform::pathBeginsWithDrive(const std::string& path, const std::string& drive) const {
    return drivepath::pathBeginsWithDrive(path, drive);
}

std::vector<std::string> LinuxPlatform::logicalDrives() const {
    std::vector<std::string> drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            drives.push_back(volume.rootPath().toStdString());
    return drives;
}

void LinuxPlatform::shellOpen(const std::string& file, const std::string& parameters,
                              const std::string& workingFolder, ShowCommand) {
    const QString target = fromStd(file);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable())
        QProcess::startDetached(target, QProcess::splitCommand(fromStd(parameters)),
                                fromStd(workingFolder));
    else
        openWithDesktop(QUrl::fromLocalFile(target));
}

void LinuxPlatform::openUrl(const std::string& url) {
    openWithDesktop(QUrl(fromStd(url)));
}

bool LinuxPlatform::isHiddenEntry(const std::string& path) const {
    QString entry = fromStd(path);
    while (entry.size() > 1 && entry.endsWith('/'))
        entry.chop(1);
    return QFileInfo(entry).fileName().startsWith('.');
}

bool LinuxPlatform::isReadOnlyFile(const std::string& path) const {
    return isReadOnlyFileAt(AT_FDCWD, path.c_str());
}

bool LinuxPlatform::deleteFolderTree(const std::string& folder) {
    // Without its closing separator a link given as the folder is not entered either.
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return removeFolderTreeAt(AT_FDCWD, path.c_str());
}

std::vector<std::uint8_t> LinuxPlatform::firstIconOfExecutable(const std::string& path) const {
    return firstIconFromPeFile(path);
}

std::string LinuxPlatform::fileVersion() const {
    return KELDA_FILE_VERSION;
}

std::string LinuxPlatform::readSetting(const std::string& name) const {
    const QSettings settings(settingsFilePath(), QSettings::IniFormat);
    const QVariant value = settings.value("SOFTWARE/kelda/" + fromStd(name));
    return value.typeId() == QMetaType::QString ? value.toString().toStdString() : std::string();
}

void LinuxPlatform::writeSetting(const std::string& name, const std::string& value) {
    const QString path = settingsFilePath();
    const QString failure = failedToSetData(fromStd(name));
    if (!makeParentFolder(path))
        throw KeldaError(failure);
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue("SOFTWARE/kelda/" + fromStd(name), fromStd(value));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw KeldaError(failure);
}

bool LinuxPlatform::runAtStartPresent() const {
    return QFileInfo::exists(autostartFilePath());
}

void LinuxPlatform::writeRunAtStart(const std::string& executable) {
    const QString path = autostartFilePath();
    const QString failure = failedToSetData("kelda");
    if (!makeParentFolder(path) || !saveFile(path, autostartEntry(fromStd(executable)), failure))
        throw KeldaError(failure);
}

void LinuxPlatform::deleteRunAtStart() {
    QFile::remove(autostartFilePath());
}
