#include "PeIconReader.h"

#include <fstream>
#include <optional>
#include <set>

// Reads the first icon of a PE file without the system's help. Every number read from the
// file is untrusted: offsets and sizes are checked against the file before use, and any
// inconsistency ends the search with an empty result.

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t MaxFileSize = 256ull * 1024 * 1024;
constexpr std::uint32_t MaxIconDataSize = 16u * 1024 * 1024;
constexpr std::uint32_t MaxGroupDataSize = 64u * 1024;
constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::uint32_t RtIcon = 3;
constexpr std::uint32_t RtGroupIcon = 14;
constexpr std::uint32_t HighBit = 0x80000000u;
constexpr std::size_t IcoHeaderSize = 6 + 16;
constexpr std::size_t GroupEntrySize = 14;

// Bounds-checked little-endian reads from the file image.
class ByteView {
public:
    explicit ByteView(const Bytes& bytes) : m_bytes(bytes) {}

    bool contains(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    std::optional<std::uint32_t> u8(std::uint64_t offset) const { return read(offset, 1); }
    std::optional<std::uint32_t> u16(std::uint64_t offset) const { return read(offset, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const { return read(offset, 4); }
    const std::uint8_t* at(std::uint64_t offset) const { return m_bytes.data() + offset; }

private:
    std::optional<std::uint32_t> read(std::uint64_t offset, unsigned length) const {
        if (!contains(offset, length))
            return std::nullopt;
        std::uint32_t value = 0;
        for (unsigned i = 0; i < length; ++i)
            value |= static_cast<std::uint32_t>(m_bytes[offset + i]) << (8 * i);
        return value;
    }

    const Bytes& m_bytes;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// A located run of bytes inside the file.
struct Span {
    std::uint64_t offset;
    std::uint32_t size;
};

class PeFile {
public:
    explicit PeFile(const Bytes& bytes) : m_view(bytes) {}

    bool parseHeaders();
    std::optional<std::uint64_t> fileOffsetOfRva(std::uint32_t rva, std::uint32_t size) const;
    std::uint64_t resourceRoot() const { return m_resourceRoot; }
    const ByteView& view() const { return m_view; }

private:
    bool readSections(std::uint64_t sectionTable, std::uint32_t count);

    ByteView m_view;
    std::vector<Section> m_sections;
    std::uint64_t m_resourceRoot = 0;
};

bool PeFile::parseHeaders() {
    if (m_view.u16(0) != 0x5A4Du) // "MZ"
        return false;
    const auto peOffset = m_view.u32(0x3C);
    if (!peOffset || m_view.u32(*peOffset) != 0x00004550u) // "PE\0\0"
        return false;
    const std::uint64_t coff = *peOffset + 4ull;
    const auto sectionCount = m_view.u16(coff + 2);
    const auto optionalSize = m_view.u16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = m_view.u16(optional);
    if (!sectionCount || !optionalSize || !magic)
        return false;
    const bool pe32Plus = *magic == 0x20Bu;
    if (!pe32Plus && *magic != 0x10Bu)
        return false;
    const std::uint64_t directoryCountAt = optional + (pe32Plus ? 108 : 92);
    const std::uint64_t directoriesAt = optional + (pe32Plus ? 112 : 96);
    const auto directoryCount = m_view.u32(directoryCountAt);
    if (!directoryCount || *directoryCount <= ResourceDirectoryIndex)
        return false;
    const std::uint64_t resourceEntry = directoriesAt + 8ull * ResourceDirectoryIndex;
    if (resourceEntry + 8 > optional + *optionalSize)
        return false;
    const auto resourceRva = m_view.u32(resourceEntry);
    const auto resourceSize = m_view.u32(resourceEntry + 4);
    if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0)
        return false;
    if (!readSections(optional + *optionalSize, *sectionCount))
        return false;
    const auto root = fileOffsetOfRva(*resourceRva, 16);
    if (!root)
        return false;
    m_resourceRoot = *root;
    return true;
}

bool PeFile::readSections(std::uint64_t sectionTable, std::uint32_t count) {
    constexpr std::uint64_t SectionHeaderSize = 40;
    if (!m_view.contains(sectionTable, SectionHeaderSize * count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t header = sectionTable + SectionHeaderSize * i;
        m_sections.push_back(
            {*m_view.u32(header + 12), *m_view.u32(header + 16), *m_view.u32(header + 20)});
    }
    return true;
}

// The file offset of `size` bytes at `rva`, when one section holds all of them in the file.
std::optional<std::uint64_t> PeFile::fileOffsetOfRva(std::uint32_t rva, std::uint32_t size) const {
    for (const Section& section : m_sections) {
        if (rva < section.virtualAddress)
            continue;
        const std::uint64_t inSection = rva - section.virtualAddress;
        if (inSection + size > section.rawSize)
            continue;
        const std::uint64_t offset = section.rawOffset + inSection;
        if (m_view.contains(offset, size))
            return offset;
    }
    return std::nullopt;
}

// Walks the three levels of the resource tree (type, name, language).
class ResourceTree {
public:
    explicit ResourceTree(const PeFile& file) : m_file(file), m_view(file.view()) {}

    // The data of the first language of resource `type`/`id`; any id when `id` is empty.
    std::optional<Span> find(std::uint32_t type, std::optional<std::uint32_t> id);

private:
    std::optional<std::uint64_t> subdirectory(std::uint64_t directory,
                                              std::optional<std::uint32_t> id);
    std::optional<std::uint32_t> firstEntryTarget(std::uint64_t directory);
    std::optional<std::uint32_t> entryTarget(std::uint64_t directory,
                                             std::optional<std::uint32_t> id);
    std::optional<std::uint64_t> enterDirectory(std::uint32_t target);
    std::optional<Span> dataEntry(std::uint32_t target) const;

    const PeFile& m_file;
    const ByteView& m_view;
    std::set<std::uint64_t> m_visited;
};

std::optional<Span> ResourceTree::find(std::uint32_t type, std::optional<std::uint32_t> id) {
    m_visited.clear();
    const auto root = enterDirectory(HighBit);
    const auto typeDirectory = root ? subdirectory(*root, type) : std::nullopt;
    const auto nameDirectory = typeDirectory ? subdirectory(*typeDirectory, id) : std::nullopt;
    const auto language = nameDirectory ? entryTarget(*nameDirectory, std::nullopt) : std::nullopt;
    if (!language || (*language & HighBit))
        return std::nullopt; // a fourth level is not part of a resource tree
    return dataEntry(*language);
}

std::optional<std::uint64_t> ResourceTree::subdirectory(std::uint64_t directory,
                                                        std::optional<std::uint32_t> id) {
    const auto target = entryTarget(directory, id);
    if (!target || !(*target & HighBit))
        return std::nullopt;
    return enterDirectory(*target);
}

// The target field of the entry with the numeric `id`, or of the first entry.
std::optional<std::uint32_t> ResourceTree::entryTarget(std::uint64_t directory,
                                                       std::optional<std::uint32_t> id) {
    const auto named = m_view.u16(directory + 12);
    const auto numbered = m_view.u16(directory + 14);
    if (!named || !numbered)
        return std::nullopt;
    const std::uint64_t entries = directory + 16;
    const std::uint64_t count = *named + *numbered;
    if (count == 0 || !m_view.contains(entries, 8 * count))
        return std::nullopt;
    if (!id)
        return *m_view.u32(entries + 4);
    for (std::uint64_t i = *named; i < count; ++i) {
        if (*m_view.u32(entries + 8 * i) == *id)
            return *m_view.u32(entries + 8 * i + 4);
    }
    return std::nullopt;
}

// The file offset of a directory, refused when it was seen before or lies outside the file.
std::optional<std::uint64_t> ResourceTree::enterDirectory(std::uint32_t target) {
    const std::uint64_t offset = m_file.resourceRoot() + (target & ~HighBit);
    if (!m_view.contains(offset, 16) || !m_visited.insert(offset).second)
        return std::nullopt;
    return offset;
}

std::optional<Span> ResourceTree::dataEntry(std::uint32_t target) const {
    const std::uint64_t entry = m_file.resourceRoot() + target;
    const auto rva = m_view.u32(entry);
    const auto size = m_view.u32(entry + 4);
    if (!rva || !size || *size == 0 || *size > MaxIconDataSize)
        return std::nullopt;
    const auto offset = m_file.fileOffsetOfRva(*rva, *size);
    if (!offset)
        return std::nullopt;
    return Span{*offset, *size};
}

struct GroupEntry {
    std::uint64_t offset; // of the 14-byte entry in the file
    std::uint32_t iconId;
};

std::uint32_t sideLength(std::uint32_t byteValue) {
    return byteValue == 0 ? 256 : byteValue;
}

// The 32x32 entry of an icon group, else the largest one.
std::optional<GroupEntry> chooseGroupEntry(const ByteView& view, Span group) {
    constexpr std::uint64_t HeaderSize = 6;
    if (group.size < HeaderSize || group.size > MaxGroupDataSize || view.u16(group.offset) != 0u ||
        view.u16(group.offset + 2) != 1u)
        return std::nullopt;
    const std::uint32_t count = *view.u16(group.offset + 4);
    if (count == 0 || HeaderSize + GroupEntrySize * count > group.size)
        return std::nullopt;
    std::optional<GroupEntry> best;
    std::uint32_t bestArea = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = group.offset + HeaderSize + GroupEntrySize * i;
        const std::uint32_t width = sideLength(*view.u8(entry));
        const std::uint32_t height = sideLength(*view.u8(entry + 1));
        const GroupEntry candidate{entry, *view.u16(entry + 12)};
        if (width == 32 && height == 32)
            return candidate;
        if (width * height > bestArea) {
            bestArea = width * height;
            best = candidate;
        }
    }
    return best;
}

void appendLittleEndian(Bytes& out, std::uint32_t value, unsigned length) {
    for (unsigned i = 0; i < length; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An ICO file image with one entry: the group entry's description and the icon's data.
Bytes icoFileImage(const ByteView& view, const GroupEntry& entry, Span data) {
    Bytes ico;
    ico.reserve(IcoHeaderSize + data.size);
    appendLittleEndian(ico, 0, 2); // reserved
    appendLittleEndian(ico, 1, 2); // type: icon
    appendLittleEndian(ico, 1, 2); // one image
    const std::uint8_t* description = view.at(entry.offset);
    ico.insert(ico.end(), description, description + 8); // size, colours, planes, bit count
    appendLittleEndian(ico, data.size, 4);
    appendLittleEndian(ico, IcoHeaderSize, 4);
    const std::uint8_t* pixels = view.at(data.offset);
    ico.insert(ico.end(), pixels, pixels + data.size);
    return ico;
}

} // namespace

std::vector<std::uint8_t> firstIconFromPeImage(const std::vector<std::uint8_t>& image) {
    PeFile file(image);
    if (!file.parseHeaders())
        return {};
    ResourceTree tree(file);
    const auto group = tree.find(RtGroupIcon, std::nullopt);
    const auto entry = group ? chooseGroupEntry(file.view(), *group) : std::nullopt;
    const auto data = entry ? tree.find(RtIcon, entry->iconId) : std::nullopt;
    if (!data)
        return {};
    return icoFileImage(file.view(), *entry, *data);
}

std::vector<std::uint8_t> firstIconFromPeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return {};
    const std::streamoff size = file.tellg();
    if (size <= 0 || static_cast<std::uint64_t>(size) > MaxFileSize)
        return {};
    Bytes bytes(static_cast<std::size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
        return {};
    return firstIconFromPeImage(bytes);
}
