#include "uPictures.h"

#include <QFile>
#include <QHash>
#include <QtEndian>
#include <cstring>

namespace {

// Reads the pack written at build time by resources/packpictures.cpp.
class PictureReader {
public:
    explicit PictureReader(const QByteArray& pack) : m_pack(pack) {}

    QHash<QString, QImage> readAll() {
        QHash<QString, QImage> pictures;
        if (!m_pack.startsWith("KPK1"))
            return pictures;
        m_position = 4;
        const quint32 count = number();
        for (quint32 i = 0; i < count && m_ok; ++i) {
            const QString name = QString::fromUtf8(bytes(number()));
            const int width = static_cast<int>(number());
            const int height = static_cast<int>(number());
            const QByteArray pixels = bytes(qint64(width) * height * 4);
            if (m_ok)
                pictures.insert(name, image(width, height, pixels));
        }
        return pictures;
    }

private:
    QByteArray bytes(qint64 size) {
        if (size < 0 || m_position + size > m_pack.size()) {
            m_ok = false;
            return {};
        }
        const QByteArray part = m_pack.mid(m_position, size);
        m_position += size;
        return part;
    }

    quint32 number() {
        const QByteArray raw = bytes(4);
        return m_ok ? qFromLittleEndian<quint32>(raw.constData()) : 0;
    }

    static QImage image(int width, int height, const QByteArray& pixels) {
        QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
        const char* source = pixels.constData();
        const qsizetype rowBytes = qsizetype(width) * 4;
        for (int y = 0; y < height; ++y, source += rowBytes) {
            if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
                std::memcpy(picture.scanLine(y), source, rowBytes);
            } else {
                auto* row = reinterpret_cast<quint32*>(picture.scanLine(y));
                for (int x = 0; x < width; ++x)
                    row[x] = qFromLittleEndian<quint32>(source + 4 * x);
            }
        }
        return picture;
    }

    const QByteArray& m_pack;
    qint64 m_position = 0;
    bool m_ok = true;
};

const QHash<QString, QImage>& pictures() {
    static const QHash<QString, QImage> all = [] {
        QFile pack(QStringLiteral(":/pictures.pack"));
        if (!pack.open(QIODevice::ReadOnly))
            return QHash<QString, QImage>();
        const QByteArray bytes = pack.readAll();
        return PictureReader(bytes).readAll();
    }();
    return all;
}

} // namespace

QImage Picture(const QString& name) {
    return pictures().value(name);
}
