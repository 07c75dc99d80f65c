#include "uEnvironment.h"

TEnvironment* Env = nullptr;

QString TEnvironment::GetVariable(const QString& text) const { return text; }
QString TEnvironment::ExpandPath(const QString& path) const { return path; }
QString TEnvironment::GetRemoveDrive() const { return {}; }
bool TEnvironment::SetVariable(const QString&, const QString&, bool) const { return false; }
