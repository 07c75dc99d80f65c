// Build tool: decodes the program's PNG pictures once, at build time, into one pack of
// ready pixels, so the program's start does not inflate and filter them one by one.
// Usage: kelda_pack_pictures OUTPUT BASE NAME...   (reads BASE/NAME.png for each NAME)
// Pack: "KPK1", count, then per picture: name length, name (UTF-8), width, height and
// width * height pixels of premultiplied ARGB32, all numbers 32-bit little-endian.
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <cstdio>

namespace {

void writeNumber(QFile& out, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    out.write(reinterpret_cast<const char*>(&little), sizeof little);
}

bool writePicture(QFile& out, const QString& base, const QString& name) {
    const QImage image =
        QImage(base + '/' + name + ".png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s/%s.png\n", qPrintable(base), qPrintable(name));
        return false;
    }
    const QByteArray utf8 = name.toUtf8();
    writeNumber(out, utf8.size());
    out.write(utf8);
    writeNumber(out, image.width());
    writeNumber(out, image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            writeNumber(out, row[x]);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT BASE NAME...\n", argv[0]);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const QString base = QString::fromLocal8Bit(argv[2]);
    out.write("KPK1");
    writeNumber(out, argc - 3);
    for (int i = 3; i < argc; ++i)
        if (!writePicture(out, base, QString::fromLocal8Bit(argv[i])))
            return 1;
    return out.flush() ? 0 : 1;
}
