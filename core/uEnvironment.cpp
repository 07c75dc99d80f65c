#include "uEnvironment.h"

#include "Platform.h"

TEnvironment* Env = nullptr;

namespace {

const QString RemoveDriveName = QStringLiteral("removedrive");

std::optional<QString> variableValue(const QString& name) {
    if (name.isEmpty())
        return std::nullopt;
    const std::optional<std::string> value = platform().processVariable(name.toStdString());
    if (!value)
        return std::nullopt;
    return QString::fromStdString(*value);
}

} // namespace

QString TEnvironment::GetVariable(const QString& text) const {
    QString expanded;
    int position = 0;
    while (position < text.size()) {
        const int open = text.indexOf('%', position);
        const int close = open < 0 ? -1 : text.indexOf('%', open + 1);
        if (close < 0)
            break;
        expanded += text.mid(position, open - position);
        const std::optional<QString> value = variableValue(text.mid(open + 1, close - open - 1));
        expanded += value ? *value : text.mid(open, close - open + 1);
        position = close + 1;
    }
    return expanded + text.mid(position);
}

QString TEnvironment::ExpandPath(const QString& path) const {
    if (!path.startsWith('%'))
        return path;
    const int close = path.indexOf('%', 1);
    if (close < 0)
        return path;
    return GetVariable(path.left(close + 1)) + path.mid(close + 1);
}

QString TEnvironment::GetRemoveDrive() const {
    const QString reference = '%' + RemoveDriveName + '%';
    QString drive = GetVariable(reference);
    if (drive == reference) {
        drive = QString::fromStdString(platform().drivePart(platform().executablePath()));
        SetVariable(RemoveDriveName, drive, true);
    }
    return drive;
}

bool TEnvironment::SetVariable(const QString& name, const QString& value, bool userScope) const {
    if (!platform().writePersistentVariable(name.toStdString(), value.toStdString(), userScope))
        return false;
    platform().setProcessVariable(name.toStdString(), value.toStdString());
    platform().broadcastEnvironmentChange();
    return true;
}
