#include "uFrmCrShortCutG.h"

#include "uDataModule.h"
#include "uFrmMain.h"
#include "uUiKit.h"

#include "ui_uFrmCrShortCutG.h"

#include <QPushButton>

namespace {

void RunNewGroupDialog() {
    TfrmCrShortCutG dialog;
    ShowModal(dialog);
}

} // namespace

TfrmCrShortCutG::TfrmCrShortCutG(QWidget* parent) : QDialog(parent), ui(new Ui::TfrmCrShortCutG) {
    ui->setupUi(this);
    FormCreate();
    // Connected after the prompt text is in place: only later changes count as typing.
    ConnectEvents();
}

TfrmCrShortCutG::~TfrmCrShortCutG() {
    delete ui;
}

void TfrmCrShortCutG::FormCreate() {
    Edited = false;
    ui->RzListView1->clear();
    for (int index = 0; index < dm->ImageList1.Count(); ++index) {
        const QIcon icon(QPixmap::fromImage(dm->ImageList1.Image(index)));
        auto* item = new QListWidgetItem(icon, QString::number(index), ui->RzListView1);
        item->setData(Qt::UserRole, index);
    }
}

void TfrmCrShortCutG::ConnectEvents() {
    connect(ui->RzEdit1, &QLineEdit::textChanged, this,
            GuardedSlot(this, &TfrmCrShortCutG::RzEdit1Change));
    SetUpButtonBar(this, ui->RzDialogButtons1, &TfrmCrShortCutG::RzDialogButtons1ClickOk,
                   QStringLiteral("新建"));
}

// Created without an owner, yet shown centred over the main window.
void TfrmCrShortCutG::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (frmMain == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(frmMain->frameGeometry().center());
    move(frame.topLeft());
}

void TfrmCrShortCutG::RzEdit1Change() {
    Edited = true;
}

int TfrmCrShortCutG::SelectedImageIndex() const {
    const QList<QListWidgetItem*> selected = ui->RzListView1->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(Qt::UserRole).toInt();
}

// The name is taken exactly as typed: blanks are a name like any other.
void TfrmCrShortCutG::RzDialogButtons1ClickOk() {
    const QString name = ui->RzEdit1->text();
    if (name.isEmpty() || !Edited) {
        MessageDlg(QStringLiteral("请输入分类名称"), mtError, mbOK);
        return;
    }
    if (dm->GroupExists(name)) {
        MessageDlg(QStringLiteral("已经存在的分类！"), mtError, mbOK);
        return;
    }
    TQShortCutGroup group;
    group.GroupName = name;
    group.ImageIndex = SelectedImageIndex();
    dm->AddGroup(group);
    accept();
}

void TfrmMain::ActionNewGroupExecute() {
    RunNewGroupDialog();
    LoadGroupTabs();
}
