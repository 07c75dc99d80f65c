// Writes the generated seed inputs of the fuzz targets: small PE files made by the test
// fixture and a few BMP images. Run: make_seeds <tests/fuzz folder>.
#include "../testsupport/PeFixture.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <cstdio>

namespace {

bool writeSeed(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray bmp(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QImage solid(int side, QImage::Format format) {
    QImage image(side, side, format);
    image.fill(QColor(0x20, 0x80, 0xc0, 0xff));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <tests/fuzz folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    PeFixture single;
    single.put16(single.groupCountField, 1);
    const QByteArray intact = PeFixture().toByteArray();
    const QByteArray bmp32 = bmp(solid(32, QImage::Format_RGB32));
    const bool written =
        writeSeed(root + "/fuzz_pe_icon/two_entries.exe", intact) &&
        writeSeed(root + "/fuzz_pe_icon/one_16x16_entry.exe", single.toByteArray()) &&
        writeSeed(root + "/fuzz_pe_icon/headers_only.exe", intact.left(0x200)) &&
        writeSeed(root + "/fuzz_ficon/rgb32.bmp", bmp32) &&
        writeSeed(root + "/fuzz_ficon/argb_2x2.bmp", bmp(solid(2, QImage::Format_ARGB32))) &&
        writeSeed(root + "/fuzz_ficon/mono_8x8.bmp", bmp(solid(8, QImage::Format_Mono))) &&
        writeSeed(root + "/fuzz_ficon/header_only.bmp", bmp32.left(54));
    return written ? 0 : 1;
}
