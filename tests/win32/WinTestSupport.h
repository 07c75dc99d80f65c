#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What the Windows checks share: a failure type, text conversion, files, the registry, child
// processes and the pixels of an ICO file image. Win32 and the standard library only.

// A failed expectation; the message says what was found instead.
class CheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline void check(bool condition, const std::string& what) {
    if (!condition)
        throw CheckFailure(what);
}

std::wstring wide(const std::string& utf8);
std::string utf8(const std::wstring& text);

// --- files

std::string folderOf(const std::string& path); // without its closing backslash
bool exists(const std::string& path);
DWORD attributesOf(const std::string& path);
void writeTextFile(const std::string& path, const std::string& text);
std::optional<std::string> readTextFile(const std::string& path);
void makeFolders(const std::string& path);
std::vector<std::string> entryNames(const std::string& folder);
bool sameFolder(std::string a, std::string b);

// --- registry

std::optional<std::wstring> registryString(HKEY root, const wchar_t* path, const wchar_t* name);
void deleteRegistryValue(HKEY root, const wchar_t* path, const wchar_t* name);

// --- processes

// Runs this program again with `argument` and returns its exit code; ~0u when it did not end.
DWORD runSelf(const std::string& argument, DWORD timeoutMs);
// Starts this program with `argument` and leaves it running; its handle, null on failure.
HANDLE startSelf(const std::string& argument);

// --- icons

struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // top row first
};

// The first image of an ICO file image, when it is a 32-bit one; nothing otherwise.
std::optional<IconPixels> decodeIcon(const std::vector<std::uint8_t>& ico);
// Where two pictures differ ("" when they agree): alpha everywhere, colour where opaque.
std::string firstDifference(const IconPixels& a, const IconPixels& b);
