#pragma once

#include <QDialog>

namespace Ui {
class TfrmCrShortCutG;
}

// The new-category dialog: a name and one of the category pictures. It stores the
// category itself before it closes with OK.
class TfrmCrShortCutG : public QDialog {
    Q_OBJECT

public:
    explicit TfrmCrShortCutG(QWidget* parent = nullptr);
    ~TfrmCrShortCutG() override;

    // Event handlers.
    void RzEdit1Change();
    void RzDialogButtons1ClickOk();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void ConnectEvents();
    int SelectedImageIndex() const;

    Ui::TfrmCrShortCutG* ui;
    // Tells a name the user typed from the prompt text the edit starts with.
    bool Edited = false;
};
