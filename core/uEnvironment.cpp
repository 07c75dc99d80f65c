#include "uEnvironment.h"

#include "EnvironmentVariables.h"
#include "Platform.h"

TEnvironment* Env = nullptr;

namespace {

const QString RemoveDriveName = QStringLiteral("removedrive");

// The text itself when a rule left it unchanged, so it comes back exactly as given.
QString changedOrSame(const QString& text, const std::string& original, const std::string& result) {
    return result == original ? text : QString::fromStdString(result);
}

} // namespace

QString TEnvironment::GetVariable(const QString& text) const {
    const std::string original = text.toStdString();
    return changedOrSame(text, original, envvars::expandReferences(original, platform()));
}

QString TEnvironment::ExpandPath(const QString& path) const {
    const std::string original = path.toStdString();
    return changedOrSame(path, original, envvars::expandLeadingReference(original, platform()));
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
    return envvars::setVariable(platform(), name.toStdString(), value.toStdString(), userScope);
}
