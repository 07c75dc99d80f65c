#pragma once

#include "TestSupport.h"
#include "uDataModule.h"
#include "uFrmMain.h"

#include <QImage>
#include <QListWidget>

// The running program for a GUI test: a sandbox, the data module on a real store beside
// the sandbox's executable, and (after openWindow) the real main window, offscreen.
class AppWorld {
public:
    AppWorld();
    ~AppWorld();
    AppWorld(const AppWorld&) = delete;
    AppWorld& operator=(const AppWorld&) = delete;

    void openWindow();
    void closeWindow();

    void addGroup(const QString& name, int imageIndex = 0);
    // Stores a shortcut; `icon` stands in for a captured program icon.
    void addShortCut(const QString& group, const QString& display, const QString& fileName,
                     const QString& parameters = QString(), const QImage& icon = QImage());

    QListWidget* tabs() const;
    QListWidget* list() const;
    // Selects the tab of `group` as a click does, and runs the click handler.
    void clickTab(const QString& group);
    QStringList tabNames() const;
    QStringList listCaptions() const;

    TestSandbox sandbox;
};

// A 32x32 picture of one colour, for icons in tests.
QImage solidIcon(QRgb colour);
// Writes an executable shell script that records its arguments and working folder.
QString writeRecorderScript(const QString& path, const QString& outputPath);
// The lines a recorder script wrote so far: its working folder, then one line per argument.
QStringList recordedLines(const QString& outputPath);
