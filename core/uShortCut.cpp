#include "uShortCut.h"

#include "Platform.h"
#include "uCommon.h"
#include "uEnvironment.h"

#include <QByteArray>
#include <QFileInfo>

bool TQShortCut::ProgramExists() const {
    // One status query: isFile() is false for a missing path and for a folder alike.
    return QFileInfo(Env->ExpandPath(FileName)).isFile();
}

void TQShortCut::CaptureIcon() {
    if (LowerCaseExtension(FileName) != ".exe")
        return;
    const std::string path = Env->ExpandPath(FileName).toStdString();
    const std::vector<std::uint8_t> ico = platform().firstIconOfExecutable(path);
    const QByteArray bytes(reinterpret_cast<const char*>(ico.data()),
                           static_cast<qsizetype>(ico.size()));
    const QImage icon = QImage::fromData(bytes, "ICO");
    if (!icon.isNull())
        IconBitmap = icon;
}
