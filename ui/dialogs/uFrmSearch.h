#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class TfrmSearch;
}

// The settings of one batch search, as the search dialog hands them back.
struct TSearchInfo {
    QString Path;
    QString Mask;
    bool DepthLimited = false;
    bool AllSubDirs = false;
    int Depth = 0;
};

// The search dialog: which folder to search, for which mask, and how deep.
class TfrmSearch : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSearch(QWidget* parent = nullptr);
    ~TfrmSearch() override;

    // Written by the OK handler when the dialog closes with OK; untouched otherwise.
    TSearchInfo SearchInfo;

    void RzButtonEditPathButtonClick();
    void RzCheckBox1Click();
    void RzCheckBox2Click();
    void RzDialogButtons1ClickOk();

private:
    void PrepareControls();
    void ConnectEvents();

    std::unique_ptr<Ui::TfrmSearch> ui;
};
