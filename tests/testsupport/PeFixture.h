#pragma once

#include <QByteArray>
#include <QColor>
#include <cstdint>
#include <vector>

// A minimal PE32 file whose resource section holds one icon group with a 16x16 entry
// (icon id 2) listed before a 32x32 entry (icon id 1), both 32-bit images. The offsets of
// the fields that the damage tests change are recorded.
class PeFixture {
public:
    static constexpr std::uint32_t PeHeaderOffset = 0x40;
    static constexpr std::uint32_t SectionRva = 0x1000;
    static constexpr std::uint32_t SectionFileOffset = 0x200;

    // The colour of pixel (x, y) of the 32x32 icon.
    static QColor pixel32(int x, int y) { return QColor(x * 8, y * 8, 0x80, 0xff); }
    static QColor pixel16(int, int) { return QColor(0x10, 0x20, 0x30, 0xff); }

    std::vector<std::uint8_t> bytes;
    std::size_t peOffsetField = 0;          // e_lfanew
    std::size_t sectionRawPointerField = 0; // PointerToRawData of .rsrc
    std::size_t rootIdCountField = 0;       // NumberOfIdEntries of the root directory
    std::size_t groupTypeTargetField = 0;   // root entry RT_GROUP_ICON: its subdirectory
    std::size_t iconDataSizeField = 0;      // data entry of icon 1: Size
    std::size_t groupCountField = 0;        // GRPICONDIR idCount

    PeFixture() {
        const std::vector<std::uint8_t> icon32 = dib(32, pixel32);
        const std::vector<std::uint8_t> icon16 = dib(16, pixel16);

        // Resource section layout, offsets from its start.
        const std::uint32_t root = 0, iconType = 32, iconName1 = 64, iconName2 = 88;
        const std::uint32_t groupType = 112, groupName = 136;
        const std::uint32_t iconEntry1 = 160, iconEntry2 = 176, groupEntry = 192;
        const std::uint32_t groupData = 208, groupSize = 6 + 2 * 14;
        const std::uint32_t icon1Data = 244;
        const std::uint32_t icon2Data = icon1Data + static_cast<std::uint32_t>(icon32.size());
        const std::uint32_t sectionSize = icon2Data + static_cast<std::uint32_t>(icon16.size());

        bytes.assign(SectionFileOffset + sectionSize, 0);
        put16(0, 0x5A4D);
        peOffsetField = 0x3C;
        put32(peOffsetField, PeHeaderOffset);
        writeHeaders(sectionSize);

        const std::size_t s = SectionFileOffset;
        rootIdCountField = s + root + 14;
        directory(s + root, {{3, DirectoryBit | iconType}, {14, DirectoryBit | groupType}});
        groupTypeTargetField = s + root + 16 + 8 + 4;
        directory(s + iconType, {{1, DirectoryBit | iconName1}, {2, DirectoryBit | iconName2}});
        directory(s + iconName1, {{0x409, iconEntry1}});
        directory(s + iconName2, {{0x409, iconEntry2}});
        directory(s + groupType, {{1, DirectoryBit | groupName}});
        directory(s + groupName, {{0x409, groupEntry}});
        dataEntry(s + iconEntry1, icon1Data, icon32.size());
        iconDataSizeField = s + iconEntry1 + 4;
        dataEntry(s + iconEntry2, icon2Data, icon16.size());
        dataEntry(s + groupEntry, groupData, groupSize);

        put16(s + groupData + 2, 1);
        groupCountField = s + groupData + 4;
        put16(groupCountField, 2);
        groupEntryAt(s + groupData + 6, 16, icon16.size(), 2);
        groupEntryAt(s + groupData + 6 + 14, 32, icon32.size(), 1);
        std::copy(icon32.begin(), icon32.end(), bytes.begin() + s + icon1Data);
        std::copy(icon16.begin(), icon16.end(), bytes.begin() + s + icon2Data);
    }

    QByteArray toByteArray() const {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }

    void put16(std::size_t offset, std::uint32_t value) { put(offset, value, 2); }
    void put32(std::size_t offset, std::uint32_t value) { put(offset, value, 4); }

private:
    static constexpr std::uint32_t DirectoryBit = 0x80000000u;

    struct Entry {
        std::uint32_t id;
        std::uint32_t target;
    };

    void put(std::size_t offset, std::uint32_t value, int length) {
        for (int i = 0; i < length; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    void writeHeaders(std::uint32_t sectionSize) {
        const std::size_t pe = PeHeaderOffset;
        put32(pe, 0x00004550);
        put16(pe + 4, 0x14C);   // i386
        put16(pe + 6, 1);       // one section
        put16(pe + 20, 0xE0);   // size of the optional header
        put16(pe + 22, 0x0102); // executable, 32-bit
        const std::size_t optional = pe + 24;
        put16(optional, 0x10B);   // PE32
        put32(optional + 92, 16); // data directories
        put32(optional + 96 + 2 * 8, SectionRva);
        put32(optional + 96 + 2 * 8 + 4, sectionSize);
        const std::size_t section = optional + 0xE0;
        const char name[] = ".rsrc";
        std::copy(name, name + 5, bytes.begin() + section);
        put32(section + 8, sectionSize);
        put32(section + 12, SectionRva);
        put32(section + 16, sectionSize);
        sectionRawPointerField = section + 20;
        put32(sectionRawPointerField, SectionFileOffset);
    }

    void directory(std::size_t offset, const std::vector<Entry>& entries) {
        put16(offset + 14, static_cast<std::uint32_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            put32(offset + 16 + 8 * i, entries[i].id);
            put32(offset + 16 + 8 * i + 4, entries[i].target);
        }
    }

    void dataEntry(std::size_t offset, std::uint32_t dataOffset, std::size_t size) {
        put32(offset, SectionRva + dataOffset);
        put32(offset + 4, static_cast<std::uint32_t>(size));
    }

    void groupEntryAt(std::size_t offset, int side, std::size_t size, int id) {
        bytes[offset] = static_cast<std::uint8_t>(side);
        bytes[offset + 1] = static_cast<std::uint8_t>(side);
        put16(offset + 4, 1);  // planes
        put16(offset + 6, 32); // bits per pixel
        put32(offset + 8, static_cast<std::uint32_t>(size));
        put16(offset + 12, static_cast<std::uint32_t>(id));
    }

    // A 32-bit icon image: BITMAPINFOHEADER (double height), bottom-up BGRA rows, AND mask.
    template <typename ColourOf> static std::vector<std::uint8_t> dib(int side, ColourOf colourOf) {
        const int maskRowBytes = ((side + 31) / 32) * 4;
        std::vector<std::uint8_t> out(40 + side * side * 4 + side * maskRowBytes, 0);
        auto put = [&out](std::size_t offset, std::uint32_t value, int length) {
            for (int i = 0; i < length; ++i)
                out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        put(0, 40, 4);
        put(4, static_cast<std::uint32_t>(side), 4);
        put(8, static_cast<std::uint32_t>(side * 2), 4);
        put(12, 1, 2);
        put(14, 32, 2);
        std::size_t at = 40;
        for (int row = side - 1; row >= 0; --row) {
            for (int x = 0; x < side; ++x, at += 4) {
                const QColor colour = colourOf(x, row);
                out[at] = static_cast<std::uint8_t>(colour.blue());
                out[at + 1] = static_cast<std::uint8_t>(colour.green());
                out[at + 2] = static_cast<std::uint8_t>(colour.red());
                out[at + 3] = static_cast<std::uint8_t>(colour.alpha());
            }
        }
        return out;
    }
};
