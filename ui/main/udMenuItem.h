#pragma once

#include <QAction>
#include <QString>

// A tray menu item that starts one shortcut's program. It keeps its own copies of the
// stored path and parameters, unexpanded, so the drive is resolved at the moment of the click.
class TdSubMenuItem : public QAction {
    Q_OBJECT

public:
    TdSubMenuItem(const QString& caption, QObject* parent);

    QString FileName;
    QString Parameters;

    void Click();
};
