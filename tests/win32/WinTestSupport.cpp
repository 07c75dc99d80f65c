#include "WinTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), length);
    return text;
}

std::string utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

// --- files

std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/"));
}

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str());
}

bool exists(const std::string& path) {
    return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

void writeTextFile(const std::string& path, const std::string& text) {
    std::ofstream file(wide(path).c_str(), std::ios::binary);
    file << text;
    check(bool(file), "cannot write " + path);
}

std::optional<std::string> readTextFile(const std::string& path) {
    std::ifstream file(wide(path).c_str(), std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void makeFolders(const std::string& path) {
    const std::size_t separator = path.find_last_of('\\');
    if (exists(path) || separator == std::string::npos)
        return;
    makeFolders(path.substr(0, separator));
    check(CreateDirectoryW(wide(path).c_str(), nullptr), "cannot create " + path);
}

std::vector<std::string> entryNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = utf8(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool sameFolder(std::string a, std::string b) {
    for (std::string* path : {&a, &b}) {
        while (!path->empty() && path->back() == '\\')
            path->pop_back();
        CharUpperBuffA(path->data(), DWORD(path->size()));
    }
    return a == b;
}

// --- registry

std::optional<std::wstring> registryString(HKEY root, const wchar_t* path, const wchar_t* name) {
    wchar_t value[512];
    DWORD bytes = sizeof(value);
    if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

void deleteRegistryValue(HKEY root, const wchar_t* path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

// --- processes

namespace {

std::wstring selfCommandLine(const std::string& argument) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return L"\"" + std::wstring(path, length) + L"\" " + wide(argument);
}

} // namespace

HANDLE startSelf(const std::string& argument) {
    std::wstring commandLine = selfCommandLine(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD runSelf(const std::string& argument, DWORD timeoutMs) {
    HANDLE process = startSelf(argument);
    if (!process)
        return ~0u;
    DWORD code = ~0u;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, ~0u);
    CloseHandle(process);
    return code;
}

// --- icons

namespace {

std::uint32_t readLittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i)
        value |= std::uint32_t(bytes[at + std::size_t(i)]) << (8 * i);
    return value;
}

} // namespace

std::optional<IconPixels> decodeIcon(const std::vector<std::uint8_t>& ico) {
    if (ico.size() < 22 || readLittleEndian(ico, 4, 2) < 1)
        return std::nullopt;
    const std::size_t image = readLittleEndian(ico, 18, 4);
    if (image + 40 > ico.size() || readLittleEndian(ico, image + 14, 2) != 32 ||
        readLittleEndian(ico, image + 16, 4) != BI_RGB)
        return std::nullopt;
    IconPixels icon;
    icon.width = int(readLittleEndian(ico, image + 4, 4));
    icon.height = int(readLittleEndian(ico, image + 8, 4)) / 2;
    const std::size_t pixels = image + readLittleEndian(ico, image, 4);
    if (icon.width <= 0 || icon.height <= 0 ||
        pixels + std::size_t(icon.width * icon.height) * 4 > ico.size())
        return std::nullopt;
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x) {
            const std::size_t row = std::size_t(icon.height - 1 - y);
            icon.argb.push_back(
                readLittleEndian(ico, pixels + (row * std::size_t(icon.width) + x) * 4, 4));
        }
    return icon;
}

std::string firstDifference(const IconPixels& a, const IconPixels& b) {
    if (a.width != b.width || a.height != b.height)
        return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    for (std::size_t i = 0; i < a.argb.size(); ++i) {
        const std::uint32_t p = a.argb[i], q = b.argb[i];
        const bool clear = (p >> 24) == 0;
        if ((p >> 24) != (q >> 24) || (!clear && p != q)) {
            char text[96];
            std::snprintf(text, sizeof(text), "pixel (%d,%d): %08x and %08x",
                          int(i % std::size_t(a.width)), int(i / std::size_t(a.width)), p, q);
            return text;
        }
    }
    return {};
}
