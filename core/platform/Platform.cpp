#include "Platform.h"

#ifdef _WIN32
#include "PlatformWin32.h"
using SystemPlatform = Win32Platform;
#else
#include "PlatformLinux.h"
using SystemPlatform = LinuxPlatform;
#endif

namespace {
Platform* g_replacement = nullptr;
}

Platform& platform() {
    static SystemPlatform system;
    return g_replacement ? *g_replacement : system;
}

void setPlatform(Platform* replacement) { g_replacement = replacement; }
