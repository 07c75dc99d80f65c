// Writes the fixture icon (FixtureIcon.h) as an .ico file for windres: two 32-bit entries,
// each a BITMAPINFOHEADER, the pixels bottom row first and the AND mask.
#include "FixtureIcon.h"

#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint32_t value, int length) {
    for (int i = 0; i < length; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

Bytes andMask(int side) {
    const int rowBytes = (side + 31) / 32 * 4;
    Bytes mask(std::size_t(rowBytes * side), 0);
    for (int row = 0; row < side; ++row)
        for (int x = 0; x < side; ++x)
            if (fixtureicon::pixel(side, x, side - 1 - row) >> 24 == 0)
                mask[std::size_t(row * rowBytes + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    return mask;
}

Bytes image(int side) {
    Bytes out;
    const Bytes mask = andMask(side);
    put(out, 40, 4);
    put(out, std::uint32_t(side), 4);
    put(out, std::uint32_t(side * 2), 4); // the height counts the AND mask too
    put(out, 1, 2);
    put(out, 32, 2);
    put(out, 0, 4); // BI_RGB
    put(out, std::uint32_t(side * side * 4 + int(mask.size())), 4);
    put(out, 0, 16);
    for (int row = 0; row < side; ++row)
        for (int x = 0; x < side; ++x)
            put(out, fixtureicon::pixel(side, x, side - 1 - row), 4);
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const Bytes images[] = {image(fixtureicon::SmallSide), image(fixtureicon::LargeSide)};
    const int sides[] = {fixtureicon::SmallSide, fixtureicon::LargeSide};
    Bytes ico;
    put(ico, 0, 2);
    put(ico, 1, 2);
    put(ico, 2, 2);
    std::uint32_t offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        put(ico, std::uint32_t(sides[i]), 1);
        put(ico, std::uint32_t(sides[i]), 1);
        put(ico, 0, 2);
        put(ico, 1, 2);
        put(ico, 32, 2);
        put(ico, std::uint32_t(images[i].size()), 4);
        put(ico, offset, 4);
        offset += std::uint32_t(images[i].size());
    }
    for (const Bytes& entry : images)
        ico.insert(ico.end(), entry.begin(), entry.end());
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(ico.data(), 1, ico.size(), file) != ico.size() || std::fclose(file))
        return 1;
    return 0;
}
