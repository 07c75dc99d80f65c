#pragma once

// The world a fuzz target runs in: a Qt application, a temporary executable folder with the
// real Linux platform pointed at it, and Env with removedrive set to E:.

#include "PlatformLinux.h"
#include "uEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

class FuzzPlatform : public LinuxPlatform {
public:
    std::string exePath;
    std::string executablePath() const override { return exePath; }
};

class FuzzWorld {
public:
    FuzzWorld() {
        QDir().mkpath(exeFolder());
        platform.exePath = (exeFolder() + "/kelda").toStdString();
        setPlatform(&platform);
        qputenv("removedrive", "E:");
        Env = &environment;
    }
    ~FuzzWorld() {
        Env = nullptr;
        setPlatform(nullptr);
    }
    FuzzWorld(const FuzzWorld&) = delete;
    FuzzWorld& operator=(const FuzzWorld&) = delete;

    QString exeFolder() const { return m_dir.path() + "/app"; }

    FuzzPlatform platform;
    TEnvironment environment;

private:
    QTemporaryDir m_dir;
};

// The application lives as long as the process; the world is built once after it.
inline FuzzWorld& fuzzWorld() {
    static int argc = 1;
    static char name[] = "kelda_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static FuzzWorld world;
    return world;
}

// Stops the fuzzer with the failed property as the crash report.
#define KELDA_FUZZ_CHECK(failure)                                                                  \
    do {                                                                                           \
        if (const char* reason = (failure)) {                                                      \
            fprintf(stderr, "property failed: %s\n", reason);                                      \
            abort();                                                                               \
        }                                                                                          \
    } while (false)
