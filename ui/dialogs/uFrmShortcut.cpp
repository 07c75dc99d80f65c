#include "uFrmShortcut.h"

#include "Platform.h"
#include "uCommon.h"
#include "uDataModule.h"
#include "uEnvironment.h"
#include "uFrmMain.h"
#include "uUiKit.h"

#include "ui_uFrmShortcut.h"

#include <QPushButton>

namespace {

const QString RemoveDriveReference = QStringLiteral("%removedrive%");

// Programs first, then everything.
const QString ProgramFilter = QStringLiteral("*.exe;*.com;*.bat (*.exe *.com *.bat);;*.* (*)");

} // namespace

// The duplicate test runs on the path exactly as typed: a program stored once with its
// drive letter and once with %removedrive% counts as two programs.
void AddUnlessStored(TQShortCut record) {
    if (dm->ShortCutExists(record.FileName)) {
        MessageDlg(QStringLiteral("已经存在的应用程序！"), mtWarning, mbOK);
        return;
    }
    if (!record.HasNoFileName())
        dm->AddShortCut(record);
}

TfrmShortCut::TfrmShortCut(QWidget* parent) : QDialog(parent), ui(new Ui::TfrmShortCut) {
    ui->setupUi(this);
    FormCreate();
    ConnectEvents();
}

TfrmShortCut::~TfrmShortCut() {
    delete ui;
}

void TfrmShortCut::FormCreate() {
    ui->RzComboBox1->clear();
    TQShortCutGroupList groups;
    dm->LoadGroups(groups);
    for (const TQShortCutGroup& group : groups)
        ui->RzComboBox1->addItem(group.GroupName);
}

void TfrmShortCut::ConnectEvents() {
    const auto fileChange = GuardedSlot(this, &TfrmShortCut::RzEditFileChange);
    connect(ui->RzEditFile, &QLineEdit::textChanged, this, fileChange);
    connect(ui->RzEditParameters, &QLineEdit::textChanged, this, fileChange);
    connect(ui->RzButton1, &QPushButton::clicked, this,
            GuardedSlot(this, &TfrmShortCut::RzButton1Click));
    connect(ui->RzButton2, &QPushButton::clicked, this,
            GuardedSlot(this, &TfrmShortCut::RzButton2Click));
    SetUpButtonBar(this, ui->RzDialogButtons1, &TfrmShortCut::RzDialogButtons1ClickOk);
}

void TfrmShortCut::SetMode(int mode) {
    if (mode == ModeEdit) {
        setWindowTitle(QStringLiteral("修改快速启动项目"));
        ui->RzEditFile->setEnabled(false);
        ui->RzButton1->setEnabled(false);
        ui->RzButton2->setVisible(false);
    } else {
        setWindowTitle(QStringLiteral("新建快速启动项目"));
    }
    Mode = mode;
}

int TfrmShortCut::FindGroup(const QString& name) const {
    return ui->RzComboBox1->findText(name, Qt::MatchFixedString);
}

void TfrmShortCut::SelectGroup(const QString& name) {
    int index = FindGroup(name);
    if (index < 0 && ui->RzComboBox1->count() > 0)
        index = 0;
    ui->RzComboBox1->setCurrentIndex(index);
}

void TfrmShortCut::SetShortCut(const TQShortCut& record) {
    ui->RzComboBox1->setCurrentIndex(FindGroup(record.GroupName));
    ui->RzEditText->setText(record.DisplayName);
    ui->RzEditFile->setText(record.FileName);
    ui->RzEditParameters->setText(record.Parameters);
}

TQShortCut TfrmShortCut::GetShortCut() const {
    TQShortCut record;
    record.GroupName = ui->RzComboBox1->currentText();
    record.DisplayName = ui->RzEditText->text();
    record.FileName = ui->RzEditFile->text();
    record.Parameters = ui->RzEditParameters->text();
    return record;
}

QString TfrmShortCut::RemoveDriveOf(const QString& path) const {
    const QString drive = Env->GetRemoveDrive();
    if (drive.isEmpty() || !platform().pathBeginsWithDrive(path.toStdString(), drive.toStdString()))
        return {};
    return drive;
}

void TfrmShortCut::UpdateReplaceButton() {
    ui->RzButton2->setEnabled(!RemoveDriveOf(ui->RzEditFile->text()).isEmpty());
}

void TfrmShortCut::RzEditFileChange() {
    ui->RzMemo1->setPlainText(ui->RzEditFile->text());
    UpdateReplaceButton();
}

void TfrmShortCut::RzButton1Click() {
    const QString chosen = PickOpenFile(this, ProgramFilter, ui->RzEditFile->text());
    if (chosen.isEmpty())
        return;
    ui->RzEditText->setText(ExtractFileNameNoExt(chosen));
    ui->RzEditFile->setText(chosen);
}

// The drive prefix gives way to the variable, so the path follows the drive to any computer.
void TfrmShortCut::RzButton2Click() {
    const QString path = ui->RzEditFile->text();
    const QString drive = RemoveDriveOf(path);
    if (drive.isEmpty())
        return;
    ui->RzEditFile->setText(RemoveDriveReference + path.mid(drive.length()));
    ui->RzButton2->setEnabled(false);
}

QString TfrmShortCut::ValidationFailure() const {
    if (ui->RzComboBox1->count() == 0)
        return QStringLiteral("请先建立快速启动分类");
    if (ui->RzEditText->text().isEmpty())
        return QStringLiteral("快速启动名称不能为空");
    if (ui->RzEditFile->text().isEmpty())
        return QStringLiteral("程序不能为空");
    return {};
}

void TfrmShortCut::RzDialogButtons1ClickOk() {
    const QString failure = ValidationFailure();
    if (!failure.isEmpty()) {
        PlainMessageBox(failure);
        return;
    }
    accept();
}

void TfrmMain::ActionAddScExecute() {
    TfrmShortCut dialog;
    dialog.SetMode(TfrmShortCut::ModeNew);
    dialog.SelectGroup(CurrentGroupName());
    if (ShowModal(dialog) == mrOk)
        AddUnlessStored(dialog.GetShortCut());
    RefreshCurrentGroup();
}

void TfrmMain::ActionUpdateScExecute() {
    const TQShortCut* selected = FirstSelectedShortCut();
    if (selected == nullptr)
        return;
    // A copy: the list's records are replaced whenever the list is refilled.
    const TQShortCut record = *selected;
    TfrmShortCut dialog;
    dialog.SetMode(TfrmShortCut::ModeEdit);
    dialog.SetShortCut(record);
    if (ShowModal(dialog) == mrOk)
        dm->UpdateShortCut(record.FileName, dialog.GetShortCut());
    RefreshCurrentGroup();
}
