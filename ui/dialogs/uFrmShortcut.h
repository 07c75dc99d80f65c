#pragma once

#include "uShortCut.h"

#include <QDialog>

namespace Ui {
class TfrmShortCut;
}

// The shortcut editor: creates a new shortcut or edits a stored one. It only collects and
// checks the fields; the code that opened it decides what is stored.
class TfrmShortCut : public QDialog {
    Q_OBJECT

public:
    static constexpr int ModeNew = 0;
    static constexpr int ModeEdit = 1;

    explicit TfrmShortCut(QWidget* parent = nullptr);
    ~TfrmShortCut() override;

    // Call once, before the dialog is shown.
    void SetMode(int mode);
    // Selects the category called `name` (letter case ignored), else the first one.
    void SelectGroup(const QString& name);
    void SetShortCut(const TQShortCut& record);
    TQShortCut GetShortCut() const;
    void UpdateReplaceButton();

    // Event handlers.
    void RzEditFileChange();
    void RzButton1Click();
    void RzButton2Click();
    void RzDialogButtons1ClickOk();

private:
    void FormCreate();
    void ConnectEvents();
    int FindGroup(const QString& name) const;
    QString ValidationFailure() const;
    // The drive that %removedrive% stands for when `path` lies on it; empty otherwise.
    QString RemoveDriveOf(const QString& path) const;

    Ui::TfrmShortCut* ui;
    int Mode = ModeNew;
};

// Stores a shortcut an editor closed with OK on, unless its program is stored already
// (then the warning "已经存在的应用程序！") or it names no program.
void AddUnlessStored(TQShortCut record);
