#pragma once

#include "PlatformLinux.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The real Linux platform with the executable's path and the drive list replaceable.
class TestPlatform : public LinuxPlatform {
public:
    std::string exePath;
    std::optional<std::vector<std::string>> drives;

    std::string executablePath() const override {
        return exePath.empty() ? LinuxPlatform::executablePath() : exePath;
    }
    std::vector<std::string> logicalDrives() const override {
        return drives ? *drives : LinuxPlatform::logicalDrives();
    }
};

// One test's world: a temporary folder that holds the "executable" (exeDir()/kelda) and
// the configuration home (XDG_CONFIG_HOME), with TestPlatform installed. Nothing is
// written to the real home folder. removedrive is unset in the process on entry.
class TestSandbox {
public:
    TestSandbox();
    ~TestSandbox();
    TestSandbox(const TestSandbox&) = delete;
    TestSandbox& operator=(const TestSandbox&) = delete;

    QString root() const { return m_dir.path(); }
    QString exeDir() const { return m_dir.path() + "/app"; }
    QString exePath() const { return exeDir() + "/kelda"; }
    QString configHome() const { return m_dir.path() + "/config"; }
    // Writes a file (creating its folders) and returns its path.
    QString writeFile(const QString& relativePath, const QByteArray& content = "x") const;

    TestPlatform platform;

private:
    QTemporaryDir m_dir;
};

// The message of the KeldaError that `operation` throws; empty when it throws none.
QString errorOf(const std::function<void()>& operation);
// A file's bytes, or "<unreadable>".
QByteArray fileBytes(const QString& path);
// The paths relative to `root` ("<outside> " + path for others), sorted.
QStringList relativeSorted(const QStringList& paths, const QString& root);
