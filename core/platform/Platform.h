#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Show commands of the shell "open" verb (the Win32 values).
enum ShowCommand { ShowNormal = 1, ShowPlain = 5 };

// Every service of the operating system that KELDA needs, behind one interface.
// Texts cross this interface as UTF-8; the Windows implementation converts to UTF-16
// and uses only Win32 and the standard library, so it can be built without Qt.
class Platform {
public:
    virtual ~Platform() = default;

    // The running executable's full path.
    virtual std::string executablePath() const = 0;

    // Takes the system-wide single-instance guard called `name`. False only when another
    // running process holds it; any other failure lets the program run unguarded.
    virtual bool acquireSingleInstance(const std::string& name) = 0;

    // The process environment.
    virtual std::optional<std::string> processVariable(const std::string& name) const = 0;
    virtual void setProcessVariable(const std::string& name, const std::string& value) = 0;

    // Writes `name` = `value` into the persistent environment of the user (userScope) or of
    // the machine. False, with nothing written, when the store cannot be opened or created;
    // throws KeldaError when the store is open but the write itself fails.
    virtual bool writePersistentVariable(const std::string& name, const std::string& value,
                                         bool userScope) = 0;
    // Tells other programs that the stored environment changed (bounded wait).
    virtual void broadcastEnvironmentChange() = 0;
    // Puts each persistently stored variable that this process lacks into its environment;
    // called once at start. Nothing to do where the shell passes the user environment on.
    virtual void importPersistentEnvironment() = 0;

    // "E:" for E:\Apps\a.exe, "\\server\share" for a network path; on POSIX systems the
    // mount point holding an absolute path; otherwise empty.
    virtual std::string drivePart(const std::string& path) const = 0;
    // True when `path` lies on `drive` (as drivePart gives it); letters compare without case.
    virtual bool pathBeginsWithDrive(const std::string& path, const std::string& drive) const = 0;
    // The drives or mount points of the ready volumes, in the system's order.
    virtual std::vector<std::string> logicalDrives() const = 0;

    // Starts a program or opens a document or folder with the shell's "open" verb.
    // `workingFolder` may be empty. Reports nothing.
    virtual void shellOpen(const std::string& file, const std::string& parameters,
                           const std::string& workingFolder, ShowCommand show) = 0;
    // Opens a web address once in the default browser.
    virtual void openUrl(const std::string& url) = 0;

    // Hidden entries: shown by enumerations but not descended into by the search.
    virtual bool isHiddenEntry(const std::string& path) const = 0;
    // A file that resists deletion the way a read-only file does on Windows.
    virtual bool isReadOnlyFile(const std::string& path) const = 0;
    // Deletes a folder with everything in it, as far as it goes: a read-only file stays, with
    // the folders that hold it. A link inside is removed as an entry, never followed, and a
    // link given as the folder is left alone. True when the folder itself was removed.
    virtual bool deleteFolderTree(const std::string& folder) = 0;

    // The first icon of an executable as an ICO file image (one entry), empty when none.
    virtual std::vector<std::uint8_t> firstIconOfExecutable(const std::string& path) const = 0;

    // The executable's "FileVersion", empty when there is none.
    virtual std::string fileVersion() const = 0;

    // Machine-wide settings ("min" under SOFTWARE\kelda): empty text when missing or unreadable.
    virtual std::string readSetting(const std::string& name) const = 0;
    // Throws KeldaError "Failed to set data for '<name>'" when the value cannot be written.
    virtual void writeSetting(const std::string& name, const std::string& value) = 0;

    // Run at start (value "kelda" of the Run key on Windows, an autostart entry elsewhere).
    virtual bool runAtStartPresent() const = 0;
    virtual void writeRunAtStart(const std::string& executable) = 0;
    virtual void deleteRunAtStart() = 0;
};

// The platform in use; tests may replace it (ownership stays with the caller).
Platform& platform();
void setPlatform(Platform* replacement);
