#include "PlatformWin32.h"

#include "DrivePath.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <utility>

namespace {

const wchar_t* const UserEnvironmentKey = L"Environment";
const wchar_t* const MachineEnvironmentKey =
    L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const SettingsKey = L"SOFTWARE\\kelda";
const wchar_t* const RunKey = L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Run";
const wchar_t* const RunValue = L"kelda";

// --- text: UTF-8 across the interface, UTF-16 towards Win32

std::wstring toWide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), length);
    return wide;
}

std::string toUtf8(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

const wchar_t* nullWhenEmpty(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

std::string failedToSetData(const std::string& name) {
    return "Failed to set data for '" + name + "'";
}

// --- registry

// An open registry key, closed on every way out.
class RegistryKey {
public:
    // Full access, the key created when missing; not open when neither works.
    static RegistryKey openOrCreate(HKEY root, const wchar_t* path) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            key = nullptr;
        return RegistryKey(key);
    }
    static RegistryKey openForReading(HKEY root, const wchar_t* path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
        return RegistryKey(key);
    }

    RegistryKey(RegistryKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey& operator=(RegistryKey&&) = delete;
    ~RegistryKey() {
        if (m_key)
            RegCloseKey(m_key);
    }

    bool isOpen() const { return m_key != nullptr; }

    bool writeString(const std::wstring& name, const std::wstring& value) {
        const auto bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
        return m_key &&
               RegSetValueExW(m_key, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
    }

    // The text of a string value; nothing when it is missing or of another type.
    std::optional<std::wstring> readString(const std::wstring& name) const {
        DWORD type = 0;
        DWORD bytes = 0;
        if (!m_key ||
            RegQueryValueExW(m_key, name.c_str(), nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(m_key, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        value.resize(bytes / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        return value;
    }

    bool hasValue(const std::wstring& name) const {
        return m_key && RegQueryValueExW(m_key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                            ERROR_SUCCESS;
    }

    void deleteValue(const std::wstring& name) {
        if (m_key)
            RegDeleteValueW(m_key, name.c_str());
    }

private:
    explicit RegistryKey(HKEY key) : m_key(key) {}
    HKEY m_key;
};

// --- icon: the HICON's 32-bit pixels written out as a one-entry ICO file image

// Deletes the bitmaps GetIconInfo hands over.
struct IconBitmaps {
    ICONINFO info{};
    ~IconBitmaps() {
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
    }
};

// The bitmap as 32-bit BGRA pixels, bottom row first; empty on failure.
std::vector<std::uint32_t> bitmapPixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    HDC screen = GetDC(nullptr);
    const int lines =
        GetDIBits(screen, bitmap, 0, UINT(height), pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != height)
        pixels.clear();
    return pixels;
}

bool hasAlpha(const std::vector<std::uint32_t>& pixels) {
    for (std::uint32_t pixel : pixels)
        if (pixel >> 24)
            return true;
    return false;
}

// Icons without an alpha channel take their transparency from the AND mask (white = clear).
void applyMask(std::vector<std::uint32_t>& pixels, const std::vector<std::uint32_t>& mask) {
    for (std::size_t i = 0; i < pixels.size() && i < mask.size(); ++i) {
        const bool transparent = (mask[i] & 0xFFFFFFu) != 0;
        pixels[i] = (pixels[i] & 0xFFFFFFu) | (transparent ? 0u : 0xFF000000u);
    }
}

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(std::uint8_t(value & 0xFF));
    out.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

// The AND mask rows (bottom first, each padded to 32 bits): a set bit where alpha is 0.
std::vector<std::uint8_t> andMask(const std::vector<std::uint32_t>& pixels, int width, int height) {
    const std::size_t rowBytes = std::size_t((width + 31) / 32) * 4;
    std::vector<std::uint8_t> mask(rowBytes * std::size_t(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((pixels[std::size_t(y) * width + x] >> 24) == 0)
                mask[std::size_t(y) * rowBytes + x / 8] |= std::uint8_t(0x80 >> (x % 8));
    return mask;
}

std::vector<std::uint8_t> icoFileImage(const std::vector<std::uint32_t>& pixels, int width,
                                       int height) {
    const std::vector<std::uint8_t> mask = andMask(pixels, width, height);
    const auto pixelBytes = std::uint32_t(pixels.size() * 4);
    const std::uint32_t headerBytes = 40;
    const auto imageBytes = std::uint32_t(headerBytes + pixelBytes + mask.size());
    const std::uint32_t imageOffset = 6 + 16;
    std::vector<std::uint8_t> ico;
    putU16(ico, 0); // ICONDIR: reserved, type icon, one image
    putU16(ico, 1);
    putU16(ico, 1);
    ico.push_back(std::uint8_t(width >= 256 ? 0 : width)); // ICONDIRENTRY
    ico.push_back(std::uint8_t(height >= 256 ? 0 : height));
    ico.push_back(0);
    ico.push_back(0);
    putU16(ico, 1);
    putU16(ico, 32);
    putU32(ico, imageBytes);
    putU32(ico, imageOffset);
    putU32(ico, headerBytes); // BITMAPINFOHEADER, its height counting the AND mask too
    putU32(ico, std::uint32_t(width));
    putU32(ico, std::uint32_t(height) * 2);
    putU16(ico, 1);
    putU16(ico, 32);
    putU32(ico, BI_RGB);
    putU32(ico, std::uint32_t(pixelBytes + mask.size()));
    for (int unused = 0; unused < 4; ++unused)
        putU32(ico, 0);
    for (std::uint32_t pixel : pixels)
        putU32(ico, pixel);
    ico.insert(ico.end(), mask.begin(), mask.end());
    return ico;
}

std::vector<std::uint8_t> iconFileImage(HICON icon) {
    IconBitmaps bitmaps;
    if (!GetIconInfo(icon, &bitmaps.info) || !bitmaps.info.hbmColor)
        return {};
    BITMAP size{};
    if (!GetObjectW(bitmaps.info.hbmColor, sizeof(size), &size))
        return {};
    std::vector<std::uint32_t> pixels =
        bitmapPixels(bitmaps.info.hbmColor, size.bmWidth, size.bmHeight);
    if (pixels.empty())
        return {};
    if (!hasAlpha(pixels))
        applyMask(pixels, bitmapPixels(bitmaps.info.hbmMask, size.bmWidth, size.bmHeight));
    return icoFileImage(pixels, size.bmWidth, size.bmHeight);
}

// --- folder tree

struct FolderEntry {
    std::wstring path;
    DWORD attributes;
};

// Every entry with its attributes (hidden, system and read-only ones too), listed in full
// before anything is deleted.
std::vector<FolderEntry> folderEntries(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back({folder + L'\\' + name, found.dwFileAttributes});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

bool isFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction or symbolic link: its target lies outside the tree.
bool isLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void removeFolderContents(const std::wstring& folder) {
    for (const FolderEntry& entry : folderEntries(folder)) {
        if (isFolder(entry.attributes)) {
            if (!isLink(entry.attributes))
                removeFolderContents(entry.path);
            RemoveDirectoryW(entry.path.c_str());
        } else if ((entry.attributes & FILE_ATTRIBUTE_READONLY) == 0) {
            DeleteFileW(entry.path.c_str());
        }
    }
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The folder without closing separators; a drive root such as E:\ keeps its own.
std::wstring withoutClosingSeparator(std::wstring folder) {
    while (folder.size() > 1 && isSeparator(folder.back()) && folder[folder.size() - 2] != L':')
        folder.pop_back();
    return folder;
}

// --- version resource

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring hex4(unsigned value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 0xF];
    return text;
}

// The FileVersion entries to try: each translation the resource lists, then US English.
std::vector<std::wstring> fileVersionBlocks(const std::vector<BYTE>& data) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    std::vector<std::wstring> blocks;
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translations), &bytes))
        for (UINT i = 0; i < bytes / sizeof(Translation); ++i)
            blocks.push_back(L"\\StringFileInfo\\" + hex4(translations[i].language) +
                             hex4(translations[i].codePage) + L"\\FileVersion");
    blocks.push_back(L"\\StringFileInfo\\040904b0\\FileVersion");
    return blocks;
}

bool isSpaced(const std::string& text) {
    return text.find(' ') != std::string::npos;
}

} // namespace

Win32Platform::~Win32Platform() {
    if (m_instanceMutex)
        CloseHandle(m_instanceMutex);
}

std::string Win32Platform::executablePath() const {
    return toUtf8(modulePath());
}

bool Win32Platform::acquireSingleInstance(const std::string& name) {
    if (m_instanceMutex)
        return true;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, toWide(name).c_str());
    const DWORD error = GetLastError();
    if (!mutex)
        return error != ERROR_ACCESS_DENIED; // denied: another user's instance holds it
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    m_instanceMutex = mutex;
    return true;
}

std::optional<std::string> Win32Platform::processVariable(const std::string& name) const {
    const std::wstring wideName = toWide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return toUtf8(value);
}

void Win32Platform::setProcessVariable(const std::string& name, const std::string& value) {
    SetEnvironmentVariableW(toWide(name).c_str(), toWide(value).c_str());
}

bool Win32Platform::writePersistentVariable(const std::string& name, const std::string& value,
                                            bool userScope) {
    RegistryKey key = userScope
                          ? RegistryKey::openOrCreate(HKEY_CURRENT_USER, UserEnvironmentKey)
                          : RegistryKey::openOrCreate(HKEY_LOCAL_MACHINE, MachineEnvironmentKey);
    if (!key.isOpen())
        return false;
    if (!key.writeString(toWide(name), toWide(value)))
        throw Win32RegistryError(failedToSetData(name));
    return true;
}

void Win32Platform::broadcastEnvironmentChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000, &result);
}

void Win32Platform::importPersistentEnvironment() {}

std::string Win32Platform::drivePart(const std::string& path) const {
    return drivepath::driveByName(path).value_or(std::string());
}

bool Win32Platform::pathBeginsWithDrive(const std::string& path, const std::string& drive) const {
    return drivepath::pathBeginsWithDrive(path, drive);
}

std::vector<std::string> Win32Platform::logicalDrives() const {
    const DWORD capacity = GetLogicalDriveStringsW(0, nullptr);
    std::wstring buffer(capacity + 1, L'\0');
    const DWORD length = GetLogicalDriveStringsW(DWORD(buffer.size()), buffer.data());
    buffer.resize(length < buffer.size() ? length : 0);
    std::vector<std::string> drives;
    std::size_t start = 0;
    while (start < buffer.size()) {
        std::size_t end = buffer.find(L'\0', start);
        if (end == std::wstring::npos)
            end = buffer.size();
        if (end - start >= 2)
            drives.push_back(toUtf8(buffer.substr(start, 2)));
        start = end + 1;
    }
    return drives;
}

void Win32Platform::shellOpen(const std::string& file, const std::string& parameters,
                              const std::string& workingFolder, ShowCommand show) {
    const std::wstring wideParameters = toWide(parameters);
    const std::wstring wideFolder = toWide(workingFolder);
    ShellExecuteW(GetActiveWindow(), L"open", toWide(file).c_str(), nullWhenEmpty(wideParameters),
                  nullWhenEmpty(wideFolder), int(show));
}

void Win32Platform::openUrl(const std::string& url) {
    ShellExecuteW(nullptr, L"open", toWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool Win32Platform::isHiddenEntry(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool Win32Platform::isReadOnlyFile(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::deleteFolderTree(const std::string& folder) {
    const std::wstring path = withoutClosingSeparator(toWide(folder));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    // Only a real folder is entered: a link given as the folder has its contents elsewhere.
    if (attributes == INVALID_FILE_ATTRIBUTES || !isFolder(attributes) || isLink(attributes))
        return false;
    removeFolderContents(path);
    return RemoveDirectoryW(path.c_str()) != 0;
}

std::vector<std::uint8_t> Win32Platform::firstIconOfExecutable(const std::string& path) const {
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), toWide(path).c_str(), 0);
    // 1 means "not a file with icons", null "no icon in it".
    if (!icon || icon == reinterpret_cast<HICON>(1))
        return {};
    std::vector<std::uint8_t> image = iconFileImage(icon);
    DestroyIcon(icon);
    return image;
}

std::string Win32Platform::fileVersion() const {
    const std::wstring module = modulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, data.data()))
        return {};
    for (const std::wstring& block : fileVersionBlocks(data)) {
        wchar_t* text = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data.data(), block.c_str(), reinterpret_cast<void**>(&text), &length) &&
            text && length > 0)
            return toUtf8(std::wstring(text, wcsnlen(text, length)));
    }
    return {};
}

std::string Win32Platform::readSetting(const std::string& name) const {
    const RegistryKey key = RegistryKey::openForReading(HKEY_LOCAL_MACHINE, SettingsKey);
    return toUtf8(key.readString(toWide(name)).value_or(std::wstring()));
}

void Win32Platform::writeSetting(const std::string& name, const std::string& value) {
    RegistryKey key = RegistryKey::openOrCreate(HKEY_LOCAL_MACHINE, SettingsKey);
    if (!key.writeString(toWide(name), toWide(value)))
        throw Win32RegistryError(failedToSetData(name));
}

bool Win32Platform::runAtStartPresent() const {
    return RegistryKey::openForReading(HKEY_LOCAL_MACHINE, RunKey).hasValue(RunValue);
}

void Win32Platform::writeRunAtStart(const std::string& executable) {
    // Quoted when spaced, so the shell cannot take a shorter path for the program.
    const std::string command = isSpaced(executable) ? '"' + executable + '"' : executable;
    RegistryKey key = RegistryKey::openOrCreate(HKEY_LOCAL_MACHINE, RunKey);
    if (!key.writeString(RunValue, toWide(command)))
        throw Win32RegistryError(failedToSetData("kelda"));
}

void Win32Platform::deleteRunAtStart() {
    RegistryKey::openOrCreate(HKEY_LOCAL_MACHINE, RunKey).deleteValue(RunValue);
}
