// The fixture program the shell "open" case starts: it records its working folder and its
// arguments, one a line (UTF-8), in "launched.txt" beside itself. It writes a temporary file
// and renames it, so the waiting check never reads half a record.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string utf8(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), length, nullptr,
                        nullptr);
    return text;
}

std::wstring ownFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring module(path, length);
    return module.substr(0, module.find_last_of(L'\\') + 1);
}

std::string record() {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    std::string text = utf8(std::wstring(folder, length)) + "\n";
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i)
        text += utf8(arguments[i]) + "\n";
    LocalFree(arguments);
    return text;
}

} // namespace

int main() {
    const std::wstring temporary = ownFolder() + L"launched.tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const std::string text = record();
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(temporary.c_str(), (ownFolder() + L"launched.txt").c_str(),
                       MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
