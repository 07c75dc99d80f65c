#include "udMenuItem.h"

#include "uCommon.h"
#include "uUiKit.h"

TdSubMenuItem::TdSubMenuItem(const QString& caption, QObject* parent) : QAction(caption, parent) {
    connect(this, &QAction::triggered, this, GuardedSlot(this, &TdSubMenuItem::Click));
}

void TdSubMenuItem::Click() {
    LaunchProgram(FileName, Parameters);
}
