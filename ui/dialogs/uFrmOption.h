#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class TfrmOption;
}

// Where autorun.inf goes for an executable, and the path it names there.
struct TAutorunTarget {
    QString FileName;     // the drive part, a separator and "autorun.inf"
    QString RelativePath; // the executable's path without its drive part and the separator
};

// `drive` is the drive part of `exePath` (E: for E:\Apps\kelda.exe, a mount point on POSIX).
TAutorunTarget AutorunTargetFor(const QString& exePath, const QString& drive);
// The four lines of autorun.inf, each ended by CR LF.
QString AutorunText(const QString& relativePath);

// The options dialog: run at start, start in the tray, the drive behind %removedrive%, and
// autorun.inf on the program's own drive. It writes its settings itself.
class TfrmOption : public QDialog {
    Q_OBJECT

public:
    explicit TfrmOption(QWidget* parent = nullptr);
    ~TfrmOption() override;

    void RzDialogButtons1ClickOk();
    void RzButtonCreateFileClick();

private:
    void FormCreate();
    void FillDrives();
    void ConnectEvents();
    void SaveSettings();

    std::unique_ptr<Ui::TfrmOption> ui;
};
