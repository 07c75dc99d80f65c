#include "uFrmOption.h"

#include "KeldaError.h"
#include "Platform.h"
#include "uEnvironment.h"
#include "uFrmMain.h"
#include "uUiKit.h"
#include "ui_uFrmOption.h"

#include <QFile>
#include <QPushButton>

namespace {

QString ExecutablePath() {
    return QString::fromStdString(platform().executablePath());
}

QString DrivePartOf(const QString& path) {
    return QString::fromStdString(platform().drivePart(path.toStdString()));
}

bool IsSeparator(QChar c) {
    return c == '\\' || c == '/';
}

// Replaces the file; a failure names the path and the system's reason.
void WriteTextFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(content) == content.size() && file.flush();
    if (!written)
        throw KeldaError(QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ") +
                         file.errorString());
}

} // namespace

TAutorunTarget AutorunTargetFor(const QString& exePath, const QString& drive) {
    QString rest = exePath.mid(drive.size());
    // The separator after the drive is the one the executable's own path uses; a drive
    // that already ends in one (the POSIX root "/") needs none.
    QString separator = QStringLiteral("\\");
    if (!rest.isEmpty() && IsSeparator(rest.front())) {
        separator = rest.front();
        rest.remove(0, 1);
    } else if (!drive.isEmpty() && IsSeparator(drive.back())) {
        separator.clear();
    }
    return {drive + separator + QStringLiteral("autorun.inf"), rest};
}

QString AutorunText(const QString& relativePath) {
    const QString lineEnd = QStringLiteral("\r\n");
    return QStringLiteral("[autorun]") + lineEnd + QStringLiteral("OPEN=") + relativePath +
           lineEnd + QStringLiteral("ICON=") + relativePath + lineEnd +
           QStringLiteral("ACTION = Usb-Menu") + lineEnd;
}

TfrmOption::TfrmOption(QWidget* parent) : QDialog(parent), ui(new Ui::TfrmOption) {
    ui->setupUi(this);
    ConnectEvents();
    FormCreate();
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::ConnectEvents() {
    SetUpButtonBar(this, ui->RzDialogButtons1, &TfrmOption::RzDialogButtons1ClickOk);
    connect(ui->RzButtonCreateFile, &QPushButton::clicked, this,
            GuardedSlot(this, &TfrmOption::RzButtonCreateFileClick));
}

void TfrmOption::FormCreate() {
    FillDrives();
    ui->RzButtonCreateFile->setText(QStringLiteral("在驱动器") + DrivePartOf(ExecutablePath()) +
                                    QStringLiteral("生成autorun.inf文件"));
    ui->RzCheckBox1->setChecked(platform().runAtStartPresent());
    ui->RzCheckBox2->setChecked(platform().readSetting("min") == "1");
}

void TfrmOption::FillDrives() {
    ui->RzComboBoxDrive->clear();
    for (const std::string& drive : platform().logicalDrives())
        ui->RzComboBoxDrive->addItem(QString::fromStdString(drive));
    // MatchFixedString compares without letter case; no match leaves nothing selected.
    ui->RzComboBoxDrive->setCurrentIndex(
        ui->RzComboBoxDrive->findText(Env->GetRemoveDrive(), Qt::MatchFixedString));
}

void TfrmOption::RzDialogButtons1ClickOk() {
    // A failed write is reported and skips the steps after it; the dialog closes all the same.
    Guarded([this] { SaveSettings(); });
    accept();
}

void TfrmOption::SaveSettings() {
    // With no drive selected the variable keeps its value rather than being emptied.
    const QString drive = ui->RzComboBoxDrive->currentText();
    if (!drive.isEmpty() && drive != Env->GetRemoveDrive())
        Env->SetVariable(QStringLiteral("removedrive"), drive, true);
    if (ui->RzCheckBox1->isChecked())
        platform().writeRunAtStart(platform().executablePath());
    else
        platform().deleteRunAtStart();
    platform().writeSetting("min", ui->RzCheckBox2->isChecked() ? "1" : "0");
}

void TfrmOption::RzButtonCreateFileClick() {
    const QString exePath = ExecutablePath();
    const TAutorunTarget target = AutorunTargetFor(exePath, DrivePartOf(exePath));
    WriteTextFile(target.FileName, AutorunText(target.RelativePath).toLocal8Bit());
    MessageDlg(QStringLiteral("文件autorun.inf在根目录创建"), mtInformation, mbOK);
}

void TfrmMain::ActionOptionExecute() {
    TfrmOption dialog;
    ShowModal(dialog);
}
