#include "PlatformLinux.h"

#include <QCoreApplication>

std::string LinuxPlatform::executablePath() const {
    return QCoreApplication::applicationFilePath().toStdString();
}
bool LinuxPlatform::acquireSingleInstance(const std::string&) { return true; }
std::optional<std::string> LinuxPlatform::processVariable(const std::string&) const { return {}; }
void LinuxPlatform::setProcessVariable(const std::string&, const std::string&) {}
bool LinuxPlatform::writePersistentVariable(const std::string&, const std::string&, bool) {
    return false;
}
void LinuxPlatform::broadcastEnvironmentChange() {}
std::string LinuxPlatform::drivePart(const std::string&) const { return {}; }
bool LinuxPlatform::pathBeginsWithDrive(const std::string&, const std::string&) const {
    return false;
}
std::vector<std::string> LinuxPlatform::logicalDrives() const { return {}; }
void LinuxPlatform::shellOpen(const std::string&, const std::string&, const std::string&,
                              ShowCommand) {}
void LinuxPlatform::openUrl(const std::string&) {}
bool LinuxPlatform::isHiddenEntry(const std::string&) const { return false; }
bool LinuxPlatform::isReadOnlyFile(const std::string&) const { return false; }
std::vector<std::uint8_t> LinuxPlatform::firstIconOfExecutable(const std::string&) const {
    return {};
}
std::string LinuxPlatform::fileVersion() const { return KELDA_FILE_VERSION; }
std::string LinuxPlatform::readSetting(const std::string&) const { return {}; }
void LinuxPlatform::writeSetting(const std::string&, const std::string&) {}
bool LinuxPlatform::runAtStartPresent() const { return false; }
void LinuxPlatform::writeRunAtStart(const std::string&) {}
void LinuxPlatform::deleteRunAtStart() {}
