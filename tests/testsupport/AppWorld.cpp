#include "AppWorld.h"

#include "uUiKit.h"

#include <QFile>
#include <QLabel>
#include <QTest>

AppWorld::AppWorld() {
    UiTestHooks::enable();
    UiTestHooks::reset();
    dm = new Tdm;
    dm->DataModuleCreate();
}

AppWorld::~AppWorld() {
    closeWindow();
    delete dm;
    dm = nullptr;
}

void AppWorld::openWindow() {
    closeWindow();
    frmMain = new TfrmMain;
    frmMain->show();
}

void AppWorld::closeWindow() {
    delete frmMain;
    frmMain = nullptr;
}

void AppWorld::addGroup(const QString& name, int imageIndex) {
    TQShortCutGroup group;
    group.GroupName = name;
    group.ImageIndex = imageIndex;
    dm->AddGroup(group);
}

void AppWorld::addGroupTabs(const QStringList& names) {
    for (const QString& name : names)
        addGroup(name);
    frmMain->LoadGroupTabs();
}

void AppWorld::addShortCut(const QString& group, const QString& display, const QString& fileName,
                           const QString& parameters, const QImage& icon) {
    TQShortCut shortCut;
    shortCut.GroupName = group;
    shortCut.DisplayName = display;
    shortCut.FileName = fileName;
    shortCut.Parameters = parameters;
    shortCut.IconBitmap = icon;
    dm->AddShortCut(shortCut);
}

QListWidget* AppWorld::tabs() const {
    return frmMain->findChild<QListWidget*>("RzTabControl1");
}

QListWidget* AppWorld::list() const {
    return frmMain->findChild<QListWidget*>("RzListView1");
}

void AppWorld::clickTab(const QString& group) {
    const QList<QListWidgetItem*> found = tabs()->findItems(group, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    found.first()->setSelected(true);
    frmMain->RzTabControl1TabClick();
}

QStringList AppWorld::tabNames() const {
    QStringList names;
    for (int row = 0; row < tabs()->count(); ++row)
        names.append(tabs()->item(row)->text());
    return names;
}

QStringList AppWorld::listCaptions() const {
    QStringList captions;
    for (int row = 0; row < list()->count(); ++row)
        captions.append(list()->item(row)->text());
    return captions;
}

void AppWorldTest::initTestCase() {
    UiTestHooks::enable();
}

void AppWorldTest::init() {
    m_world = std::make_unique<AppWorld>();
}

// The world goes first, so a failed check cannot leave the globals to the next test.
void AppWorldTest::cleanup() {
    const int pending = UiTestHooks::pendingCount();
    m_world.reset();
    QCOMPARE(pending, 0);
}

QString statusText() {
    return widget<QLabel>(*frmMain, "RzStatusPane1")->text();
}

TQShortCutGroupList storedGroups() {
    TQShortCutGroupList groups;
    dm->LoadGroups(groups);
    return groups;
}

QStringList storedGroupNames() {
    QStringList names;
    for (const TQShortCutGroup& group : storedGroups())
        names.append(group.GroupName);
    return names;
}

TQShortCutList storedShortCuts(const QString& group) {
    TQShortCutList shortCuts;
    dm->LoadShortCuts(group, shortCuts);
    return shortCuts;
}

QImage solidIcon(QRgb colour) {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QString writeRecorderScript(const QString& path, const QString& outputPath) {
    QFile script(path);
    if (script.open(QIODevice::WriteOnly)) {
        script.write("#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" +
                     outputPath.toUtf8() + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }
    return path;
}

QStringList recordedLines(const QString& outputPath) {
    QFile file(outputPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
