#pragma once

#include <QImage>
#include <QList>
#include <QString>

// One shortcut as it passes between the store and the windows. FileName is its identity.
class TQShortCut {
public:
    QString GroupName;
    QString DisplayName;
    QString FileName;
    QString Parameters;
    QImage IconBitmap;

    // The expanded FileName names an existing file (a folder does not count).
    bool ProgramExists() const;
    // Fills IconBitmap with the first icon of an ".exe" program; other files keep it as is.
    void CaptureIcon();
    bool HasNoFileName() const { return FileName.isEmpty(); }
};

// One category: its name (identity) and its picture in ImageList1.
class TQShortCutGroup {
public:
    QString GroupName;
    int ImageIndex = 0;
};

using TQShortCutList = QList<TQShortCut>;
using TQShortCutGroupList = QList<TQShortCutGroup>;
