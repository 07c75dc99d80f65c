#pragma once

#include <optional>
#include <string>

// The string rules for drive parts shared by every platform: "E:" for E:\Apps\a.exe and
// "\\server\share" for a network path. Plain standard C++, so the Windows code can use it.
namespace drivepath {

inline bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

inline bool isLetterDrive(const std::string& drive) {
    return drive.size() == 2 && drive[1] == ':';
}

inline bool isNetworkPath(const std::string& path) {
    return path.rfind("\\\\", 0) == 0;
}

// Lower-cases the letters A to Z only.
inline std::string asciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// \\server\share of a network path, without the backslash that follows the share name.
inline std::string networkDrivePart(const std::string& path) {
    const auto serverEnd = path.find('\\', 2);
    if (serverEnd == std::string::npos)
        return path;
    return path.substr(0, path.find('\\', serverEnd + 1));
}

// The drive part by the string rules alone; nothing when neither rule applies.
inline std::optional<std::string> driveByName(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(0, 2);
    if (isNetworkPath(path))
        return networkDrivePart(path);
    return std::nullopt;
}

inline bool beginsWith(const std::string& path, const std::string& prefix, bool ignoreCase) {
    const std::string start = path.substr(0, prefix.size());
    return ignoreCase ? asciiLower(start) == asciiLower(prefix) : start == prefix;
}

// A letter drive compares the first two characters without case; any other drive (a share
// or a mount point) must be followed by a separator or the end of the path. A drive that
// ends in a separator, such as the root "/", holds every path that begins with it.
inline bool pathBeginsWithDrive(const std::string& path, const std::string& drive) {
    if (drive.empty() || path.size() < drive.size())
        return false;
    if (isLetterDrive(drive))
        return beginsWith(path, drive, true);
    if (!beginsWith(path, drive, isNetworkPath(drive)))
        return false;
    return path.size() == drive.size() || isSeparator(drive.back()) ||
           isSeparator(path[drive.size()]);
}

} // namespace drivepath
