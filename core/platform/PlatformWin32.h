#pragma once

#include "Platform.h"

#include <stdexcept>

// A failed registry write: the message names the value, as the registry layer words it.
class Win32RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Windows: the named mutex, the registry, the shell and the version resource, through Win32
// and the standard library only.
class Win32Platform : public Platform {
public:
    Win32Platform() = default;
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    std::string executablePath() const override;
    bool acquireSingleInstance(const std::string& name) override;
    std::optional<std::string> processVariable(const std::string& name) const override;
    void setProcessVariable(const std::string& name, const std::string& value) override;
    bool writePersistentVariable(const std::string& name, const std::string& value,
                                 bool userScope) override;
    void broadcastEnvironmentChange() override;
    void importPersistentEnvironment() override;
    std::string drivePart(const std::string& path) const override;
    bool pathBeginsWithDrive(const std::string& path, const std::string& drive) const override;
    std::vector<std::string> logicalDrives() const override;
    void shellOpen(const std::string& file, const std::string& parameters,
                   const std::string& workingFolder, ShowCommand show) override;
    void openUrl(const std::string& url) override;
    bool isHiddenEntry(const std::string& path) const override;
    bool isReadOnlyFile(const std::string& path) const override;
    bool deleteFolderTree(const std::string& folder) override;
    std::vector<std::uint8_t> firstIconOfExecutable(const std::string& path) const override;
    std::string fileVersion() const override;
    std::string readSetting(const std::string& name) const override;
    void writeSetting(const std::string& name, const std::string& value) override;
    bool runAtStartPresent() const override;
    void writeRunAtStart(const std::string& executable) override;
    void deleteRunAtStart() override;

private:
    // The mutex handle, held for the life of the process once created.
    void* m_instanceMutex = nullptr;
};
