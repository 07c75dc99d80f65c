#pragma once

#include "DialogDriver.h"
#include "TestSupport.h"
#include "uDataModule.h"
#include "uFrmMain.h"

#include <QImage>
#include <QListWidget>
#include <QObject>
#include <memory>

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
    // Stores the categories and rebuilds the open window's tabs from the store.
    void addGroupTabs(const QStringList& names);
    // Stores a shortcut; `icon` stands in for a captured program icon.
    void addShortCut(const QString& group, const QString& display, const QString& fileName,
                     const QString& parameters = QString(), const QImage& icon = QImage());

    QListWidget* tabs() const;
    QListWidget* list() const;
    // Selects the tab of `group` as a click does, and runs the click handler; fails the
    // test unless exactly one tab has that name.
    void clickTab(const QString& group);
    QStringList tabNames() const;
    QStringList listCaptions() const;

    TestSandbox sandbox;
};

// A GUI test class whose every test function gets a fresh world (the window not yet open).
// A test class that needs more set-up declares its own init() that calls this one first.
class AppWorldTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<AppWorld> m_world;

protected slots:
    void initTestCase();
    void init();
    // Fails the test if a queued answer, dialog or pick went unused.
    void cleanup();
};

// The text of the main window's status pane.
QString statusText();

// What the store holds now.
TQShortCutGroupList storedGroups();
QStringList storedGroupNames();
TQShortCutList storedShortCuts(const QString& group);

// A 32x32 picture of one colour, for icons in tests.
QImage solidIcon(QRgb colour);
// Writes an executable shell script that records its arguments and working folder.
QString writeRecorderScript(const QString& path, const QString& outputPath);
// The lines a recorder script wrote so far: its working folder, then one line per argument.
QStringList recordedLines(const QString& outputPath);
