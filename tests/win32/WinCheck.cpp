// The Windows half of the platform layer against the real Win32 calls, without Qt: built with
// mingw-w64 and run under wine by `make wincheck`. One line per case, then the totals.
// The fixture program lies beside it in "fixture\probe.exe"; the cases work in its folder.
#include "EnvironmentVariables.h"
#include "FixtureIcon.h"
#include "PeIconReader.h"
#include "PlatformWin32.h"
#include "WinTestSupport.h"
#include "kelda_version.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>

namespace {

const wchar_t* const UserEnvironment = L"Environment";
const wchar_t* const MachineEnvironment =
    L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const SettingsKey = L"SOFTWARE\\kelda";
const wchar_t* const RunKey = L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Run";

const char* const HoldInstance = "--hold-instance";
const char* const StartInstance = "--start-instance";
const wchar_t* const InstanceHeld = L"kelda-wincheck-instance-held";
const wchar_t* const InstanceRelease = L"kelda-wincheck-instance-release";
enum StartOutcome : DWORD { Runs = 0, Refused = 1, HolderFailed = 2 };

std::string checkFolder() {
    return folderOf(Win32Platform().executablePath());
}

std::string fixtureProgram() {
    return checkFolder() + "\\fixture\\probe.exe";
}

std::optional<std::wstring> processVariable(const wchar_t* name) {
    wchar_t value[512];
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(name, value, 512);
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
    return std::wstring(value, length);
}

std::string systemExpansion(const std::string& text) {
    wchar_t expanded[1024];
    const DWORD length = ExpandEnvironmentStringsW(wide(text).c_str(), expanded, 1024);
    return length ? utf8(expanded) : std::string();
}

// --- environment

// A hidden top-level window, as every running program has, that counts the notices that the
// stored environment changed.
class NoticeWindow {
public:
    NoticeWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KeldaNoticeWindow";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                   10, nullptr, nullptr, windowClass.hInstance, nullptr);
        check(m_window != nullptr, "cannot create a top-level window to receive the notice");
        s_notices = 0;
    }
    ~NoticeWindow() { DestroyWindow(m_window); }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    int notices() const { return s_notices; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
        if (message == WM_SETTINGCHANGE && first == 0 && second &&
            std::wcscmp(reinterpret_cast<const wchar_t*>(second), L"Environment") == 0)
            ++s_notices;
        return DefWindowProcW(window, message, first, second);
    }

    static inline int s_notices = 0;
    HWND m_window = nullptr;
};

// A top-level window whose thread never looks at its messages, as a hung program's.
class SilentWindow {
public:
    SilentWindow() {
        m_thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
        check(m_thread && WaitForSingleObject(m_created, 10000) == WAIT_OBJECT_0 && m_window,
              "cannot create a window that does not answer");
    }
    ~SilentWindow() {
        SetEvent(m_release);
        WaitForSingleObject(m_thread, 10000);
        CloseHandle(m_thread);
        CloseHandle(m_created);
        CloseHandle(m_release);
    }
    SilentWindow(const SilentWindow&) = delete;
    SilentWindow& operator=(const SilentWindow&) = delete;

private:
    static DWORD WINAPI run(void* instance) {
        auto* self = static_cast<SilentWindow*>(instance);
        self->m_window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                         nullptr, nullptr, nullptr);
        SetEvent(self->m_created);
        WaitForSingleObject(self->m_release, INFINITE);
        if (self->m_window)
            DestroyWindow(self->m_window);
        return 0;
    }

    HANDLE m_created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_thread = nullptr;
    HWND m_window = nullptr;
};

void userEnvironmentIsWrittenAndBroadcast() {
    Win32Platform system;
    NoticeWindow window;
    const SilentWindow silent;
    SetEnvironmentVariableW(L"removedrive", nullptr);
    const auto start = std::chrono::steady_clock::now();
    check(envvars::setVariable(system, "removedrive", "E:", true), "the user's key was refused");
    const auto waited = std::chrono::steady_clock::now() - start;
    check(window.notices() == 1, "a top-level window got " + std::to_string(window.notices()) +
                                     " \"Environment\" notices, not one");
    check(registryString(HKEY_CURRENT_USER, UserEnvironment, L"removedrive") == L"E:",
          "HKEY_CURRENT_USER\\Environment holds no string \"removedrive\" = \"E:\"");
    check(processVariable(L"removedrive") == L"E:", "the process environment lacks removedrive");
    const auto seconds = std::to_string(
        std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() / 1000.0);
    check(waited > std::chrono::seconds(4), "the broadcast skipped the window that does not "
                                            "answer (returned after " +
                                                seconds + " s)");
    check(waited < std::chrono::seconds(7),
          "the broadcast outlasted its 5 s time-out (" + seconds + " s)");
}

void leadingReferenceIsExpanded() {
    Win32Platform system;
    SetEnvironmentVariableW(L"removedrive", L"E:");
    SetEnvironmentVariableW(L"kelda_unset", nullptr);
    SetEnvironmentVariableW(L"kelda_empty", L"");
    const std::string path = "%removedrive%\\Tools\\a.exe";
    const std::string expanded = envvars::expandLeadingReference(path, system);
    check(expanded == "E:\\Tools\\a.exe", "expanded to " + expanded);
    check(expanded == systemExpansion(path),
          "ExpandEnvironmentStrings gives " + systemExpansion(path));
    const std::string unset = "%kelda_unset%\\a.exe";
    check(envvars::expandLeadingReference(unset, system) == unset, "an unset reference changed");
    check(envvars::expandReferences("%kelda_empty%a", system) == systemExpansion("%kelda_empty%a"),
          "an empty variable expands to " + envvars::expandReferences("%kelda_empty%a", system) +
              ", the system gives " + systemExpansion("%kelda_empty%a"));
}

// Grants everyone read access alone to a key while it lives, as a user without administrator
// rights has it for the machine's keys; the previous access list comes back afterwards.
class ReadOnlyGrant {
public:
    ReadOnlyGrant(HKEY root, const wchar_t* path) {
        check(RegOpenKeyExW(root, path, 0, READ_CONTROL | WRITE_DAC, &m_key) == ERROR_SUCCESS,
              "cannot open the key to change its access list");
        DWORD size = 0;
        RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, nullptr, &size);
        m_saved.resize(size);
        check(RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_saved.data(), &size) ==
                  ERROR_SUCCESS,
              "cannot read the key's access list");
        applyReadOnlyList();
    }
    ~ReadOnlyGrant() {
        RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_saved.data());
        RegCloseKey(m_key);
    }
    ReadOnlyGrant(const ReadOnlyGrant&) = delete;
    ReadOnlyGrant& operator=(const ReadOnlyGrant&) = delete;

private:
    void applyReadOnlyList() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        std::vector<BYTE> list(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone));
        auto* acl = reinterpret_cast<ACL*>(list.data());
        InitializeAcl(acl, DWORD(list.size()), ACL_REVISION);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        const LONG result = RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, &descriptor);
        FreeSid(everyone);
        check(result == ERROR_SUCCESS, "cannot set the key's access list");
    }

    HKEY m_key = nullptr;
    std::vector<BYTE> m_saved;
};

bool fullAccessRefused(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result == ERROR_ACCESS_DENIED;
}

void machineEnvironmentRefusedWithoutAccess() {
    Win32Platform system;
    SetEnvironmentVariableW(L"kelda_machine", nullptr);
    const ReadOnlyGrant grant(HKEY_LOCAL_MACHINE, MachineEnvironment);
    check(fullAccessRefused(HKEY_LOCAL_MACHINE, MachineEnvironment),
          "the read-only access list did not keep full access out");
    check(!envvars::setVariable(system, "kelda_machine", "x", false), "reported as written");
    check(!processVariable(L"kelda_machine"), "the process environment changed");
    check(!registryString(HKEY_LOCAL_MACHINE, MachineEnvironment, L"kelda_machine"),
          "the value was written");
}

// --- settings and run at start

void minSettingIsWrittenAndRead() {
    Win32Platform system;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, SettingsKey);
    check(system.readSetting("min").empty(), "a missing key does not read as empty");
    system.writeSetting("min", "1");
    check(registryString(HKEY_LOCAL_MACHINE, SettingsKey, L"min") == L"1",
          "SOFTWARE\\kelda holds no string \"min\" = \"1\"");
    check(system.readSetting("min") == "1", "reads back as " + system.readSetting("min"));
    system.writeSetting("min", "0");
    check(system.readSetting("min") == "0", "reads back as " + system.readSetting("min"));
    deleteRegistryValue(HKEY_LOCAL_MACHINE, SettingsKey, L"min");
    check(system.readSetting("min").empty(), "a missing value does not read as empty");
}

void runValueIsWrittenFoundAndDeleted() {
    Win32Platform system;
    deleteRegistryValue(HKEY_LOCAL_MACHINE, RunKey, L"kelda");
    check(!system.runAtStartPresent(), "found before it was written");
    system.writeRunAtStart("E:\\Apps\\kelda.exe");
    check(system.runAtStartPresent(), "not found after writing");
    check(registryString(HKEY_LOCAL_MACHINE, RunKey, L"kelda") == L"E:\\Apps\\kelda.exe",
          "the Run value does not hold the executable's path");
    system.deleteRunAtStart();
    check(!system.runAtStartPresent(), "still found after deleting");
    system.deleteRunAtStart();
}

// --- single instance

int holdInstance() {
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, InstanceHeld);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, InstanceRelease);
    Win32Platform system;
    if (!held || !release || !system.acquireSingleInstance("KELDA"))
        return HolderFailed;
    SetEvent(held);
    WaitForSingleObject(release, 30000);
    return Runs;
}

int startInstance() {
    Win32Platform system;
    return system.acquireSingleInstance("KELDA") ? Runs : Refused;
}

// The events that pace the holding process, closed on every way out.
struct InstanceEvents {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, InstanceHeld);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, InstanceRelease);
    ~InstanceEvents() {
        CloseHandle(held);
        CloseHandle(release);
    }
};

void secondStartRefusedWhileFirstRuns() {
    InstanceEvents events;
    HANDLE holder = startSelf(HoldInstance);
    check(holder != nullptr, "cannot start the first instance");
    HANDLE waitFor[] = {events.held, holder};
    const DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, 20000);
    const DWORD whileHeld = woken == WAIT_OBJECT_0 ? runSelf(StartInstance, 20000) : ~0u;
    SetEvent(events.release);
    WaitForSingleObject(holder, 20000);
    CloseHandle(holder);
    check(woken == WAIT_OBJECT_0, "the first instance did not take the mutex");
    check(whileHeld == Refused, "the second start was not refused while the first ran");
    check(runSelf(StartInstance, 20000) == Runs, "a start after the first ended was refused");
}

// --- drives

void logicalDrivesInSystemOrder() {
    const DWORD mask = GetLogicalDrives();
    std::vector<std::string> expected;
    for (int letter = 0; letter < 26; ++letter)
        if (mask & (1u << letter))
            expected.push_back(std::string(1, char('A' + letter)) + ":");
    const std::vector<std::string> drives = Win32Platform().logicalDrives();
    std::string listed;
    for (const std::string& drive : drives)
        listed += drive + " ";
    check(drives == expected, "listed " + listed);
    check(std::find(drives.begin(), drives.end(), "C:") != drives.end() &&
              std::find(drives.begin(), drives.end(), "Z:") != drives.end(),
          "C: and Z: missing from " + listed);
}

// --- icon

IconPixels fixtureIcon() {
    IconPixels icon{fixtureicon::LargeSide, fixtureicon::LargeSide, {}};
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x)
            icon.argb.push_back(fixtureicon::pixel(fixtureicon::LargeSide, x, y));
    return icon;
}

void extractedIconMatchesOwnReader() {
    const auto system = decodeIcon(Win32Platform().firstIconOfExecutable(fixtureProgram()));
    check(system.has_value(), "ExtractIconW gave no 32-bit icon");
    check(system->width == 32 && system->height == 32, "ExtractIconW gave " +
                                                           std::to_string(system->width) + "x" +
                                                           std::to_string(system->height));
    const std::string againstFixture = firstDifference(*system, fixtureIcon());
    check(againstFixture.empty(), "ExtractIconW against the fixture: " + againstFixture);
    const auto own = decodeIcon(firstIconFromPeFile(fixtureProgram()));
    check(own.has_value(), "our reader found no 32-bit icon");
    const std::string againstOwn = firstDifference(*system, *own);
    check(againstOwn.empty(), "ExtractIconW against our reader: " + againstOwn);
}

void fileVersionFromResource() {
    const std::string version = Win32Platform().fileVersion();
    check(version == KELDA_VERSION_TEXT, "read \"" + version + "\"");
}

// --- folder tree

std::string freshTree(const std::string& name) {
    const std::string root = checkFolder() + "\\trees\\" + name;
    makeFolders(root);
    return root;
}

void writeWithAttributes(const std::string& path, DWORD attributes) {
    makeFolders(folderOf(path));
    writeTextFile(path, "x");
    check(SetFileAttributesW(wide(path).c_str(), attributes), "cannot mark " + path);
}

void entriesRecognisedByAttributes() {
    const std::string root = freshTree("attributes");
    const std::string hidden = root + "\\hidden.txt", system = root + "\\system.txt";
    const std::string locked = root + "\\locked.txt", plain = root + "\\plain.txt";
    writeWithAttributes(hidden, FILE_ATTRIBUTE_HIDDEN);
    writeWithAttributes(system, FILE_ATTRIBUTE_SYSTEM);
    writeWithAttributes(locked, FILE_ATTRIBUTE_READONLY);
    writeWithAttributes(plain, FILE_ATTRIBUTE_NORMAL);
    Win32Platform platform;
    check(platform.isHiddenEntry(hidden) && platform.isHiddenEntry(system),
          "hidden or system missed");
    check(!platform.isHiddenEntry(plain) && !platform.isHiddenEntry(locked),
          "plain file as hidden");
    check(platform.isReadOnlyFile(locked), "the read-only file was missed");
    check(!platform.isReadOnlyFile(plain) && !platform.isReadOnlyFile(root), "read-only mistaken");
    SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
}

void deleteTreeRemovesHiddenAndNested() {
    for (const char* closing : {"", "\\"}) {
        const std::string top = freshTree(*closing ? "with-separator" : "without-separator");
        writeTextFile(top + "\\a.exe", "x");
        writeWithAttributes(top + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
        writeWithAttributes(top + "\\sub\\system.dat", FILE_ATTRIBUTE_SYSTEM);
        writeWithAttributes(top + "\\sub\\.config\\deeper\\c.txt", FILE_ATTRIBUTE_ARCHIVE);
        check(SetFileAttributesW(wide(top + "\\sub\\.config").c_str(), FILE_ATTRIBUTE_HIDDEN),
              "cannot hide a folder");
        makeFolders(top + "\\empty");
        check(Win32Platform().deleteFolderTree(top + closing), "reported as failed");
        check(!exists(top), std::string("the folder is still there (given ") +
                                (*closing ? "with" : "without") + " closing backslash)");
    }
}

void deleteTreeLeavesReadOnlyFileAndItsFolders() {
    const std::string top = freshTree("read-only");
    writeTextFile(top + "\\a.exe", "x");
    writeWithAttributes(top + "\\other\\b.txt", FILE_ATTRIBUTE_NORMAL);
    writeWithAttributes(top + "\\sub\\deeper\\c.txt", FILE_ATTRIBUTE_NORMAL);
    const std::string locked = top + "\\sub\\deeper\\locked.txt";
    writeWithAttributes(locked, FILE_ATTRIBUTE_READONLY);
    const bool removed = Win32Platform().deleteFolderTree(top);
    const DWORD lockedAttributes = attributesOf(locked);
    SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
    check(!removed, "reported as removed");
    check(lockedAttributes != INVALID_FILE_ATTRIBUTES, "the read-only file was deleted");
    check(lockedAttributes & FILE_ATTRIBUTE_READONLY, "the read-only attribute was cleared");
    check(entryNames(top) == std::vector<std::string>{"sub"}, "more than its folders were left");
    check(entryNames(top + "\\sub\\deeper") == std::vector<std::string>{"locked.txt"},
          "its neighbours were left");
}

void deleteTreeRefusesWhatIsNoFolder() {
    const std::string root = freshTree("refused");
    writeTextFile(root + "\\file.txt", "x");
    Win32Platform system;
    check(!system.deleteFolderTree(root + "\\missing"), "a missing folder reported as removed");
    check(!system.deleteFolderTree(root + "\\file.txt"), "a file reported as a removed folder");
    check(exists(root + "\\file.txt"), "the file given as the folder was deleted");
}

// --- shell

void shellOpenStartsProgramInItsFolder() {
    const std::string folder = folderOf(fixtureProgram());
    const std::string record = folder + "\\launched.txt";
    DeleteFileW(wide(record).c_str());
    Win32Platform().shellOpen(fixtureProgram(), "one \"two words\"", folder + "\\", ShowPlain);
    std::optional<std::string> text;
    for (int waited = 0; !(text = readTextFile(record)) && waited < 150; ++waited)
        Sleep(100);
    check(text.has_value(), "the program wrote nothing within 15 s");
    const std::size_t lineEnd = text->find('\n');
    const std::string workingFolder = text->substr(0, lineEnd);
    check(sameFolder(workingFolder, folder), "working folder " + workingFolder);
    check(text->substr(lineEnd + 1) == "one\ntwo words\n",
          "arguments " + text->substr(lineEnd + 1));
}

struct Case {
    const char* name;
    std::function<void()> run;
};

const Case Cases[] = {
    {"user environment: removedrive stored, set in the process, broadcast within its time-out",
     userEnvironmentIsWrittenAndBroadcast},
    {"expansion of %removedrive%\\Tools\\a.exe", leadingReferenceIsExpanded},
    {"machine environment refused where the key cannot be opened",
     machineEnvironmentRefusedWithoutAccess},
    {"setting \"min\" written, read, empty when missing", minSettingIsWrittenAndRead},
    {"Run value \"kelda\" written, found, deleted, deleted again",
     runValueIsWrittenFoundAndDeleted},
    {"mutex \"KELDA\": second start refused, start after the first ended runs",
     secondStartRefusedWhileFirstRuns},
    {"logical drives in the system's order", logicalDrivesInSystemOrder},
    {"ExtractIconW gives the 32x32 icon, the same as our PE reader", extractedIconMatchesOwnReader},
    {"FileVersion from the version resource", fileVersionFromResource},
    {"hidden, system and read-only entries recognised", entriesRecognisedByAttributes},
    {"DeleteTree removes hidden and nested entries", deleteTreeRemovesHiddenAndNested},
    {"DeleteTree leaves a read-only file and its folders",
     deleteTreeLeavesReadOnlyFileAndItsFolders},
    {"DeleteTree refuses a missing folder and a file", deleteTreeRefusesWhatIsNoFolder},
    {"shell open starts a program in its folder with its parameters",
     shellOpenStartsProgramInItsFolder},
};

int runCases() {
    int passed = 0, failed = 0;
    for (const Case& item : Cases) {
        try {
            item.run();
            std::printf("PASS %s\n", item.name);
            ++passed;
        } catch (const std::exception& error) {
            std::printf("FAIL %s: %s\n", item.name, error.what());
            ++failed;
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == HoldInstance)
        return holdInstance();
    if (mode == StartInstance)
        return startInstance();
    return runCases();
}
