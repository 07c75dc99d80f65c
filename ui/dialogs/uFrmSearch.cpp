#include "uFrmSearch.h"

#include "uCommon.h"
#include "uDataModule.h"
#include "uFrmMain.h"
#include "uFrmShortcut.h"
#include "uUiKit.h"
#include "ui_uFrmSearch.h"

#include <QAction>
#include <QFileInfo>
#include <QPushButton>
#include <QStyle>
#include <limits>

TfrmSearch::TfrmSearch(QWidget* parent) : QDialog(parent), ui(new Ui::TfrmSearch) {
    ui->setupUi(this);
    PrepareControls();
    ConnectEvents();
}

TfrmSearch::~TfrmSearch() = default;

void TfrmSearch::PrepareControls() {
    // The depth is any whole number: a negative one searches the chosen folder alone.
    ui->RzNumericEdit1->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    ui->RzNumericEdit1->setValue(1);
}

void TfrmSearch::ConnectEvents() {
    QAction* browse = ui->RzButtonEditPath->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                      QLineEdit::TrailingPosition);
    browse->setObjectName(QStringLiteral("RzButtonEditPathButton"));
    connect(browse, &QAction::triggered, this,
            GuardedSlot(this, &TfrmSearch::RzButtonEditPathButtonClick));
    connect(ui->RzCheckBox1, &QCheckBox::clicked, this,
            GuardedSlot(this, &TfrmSearch::RzCheckBox1Click));
    connect(ui->RzCheckBox2, &QCheckBox::clicked, this,
            GuardedSlot(this, &TfrmSearch::RzCheckBox2Click));
    SetUpButtonBar(this, ui->RzDialogButtons1, &TfrmSearch::RzDialogButtons1ClickOk);
}

void TfrmSearch::RzButtonEditPathButtonClick() {
    const QString folder = PickFolder(this);
    if (!folder.isEmpty())
        ui->RzButtonEditPath->setText(folder);
}

void TfrmSearch::RzCheckBox1Click() {
    if (ui->RzCheckBox1->isChecked())
        ui->RzCheckBox2->setChecked(false);
}

void TfrmSearch::RzCheckBox2Click() {
    if (ui->RzCheckBox2->isChecked() && ui->RzCheckBox1->isChecked())
        ui->RzCheckBox1->setChecked(false);
}

void TfrmSearch::RzDialogButtons1ClickOk() {
    // Taken literally: %removedrive% is not expanded here.
    const QString path = ui->RzButtonEditPath->text();
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
        MessageDlg(QStringLiteral("请输入要查找的目录"), mtError, mbOK);
        return;
    }
    SearchInfo.Path = path;
    SearchInfo.Mask = ui->RzEditFile->text();
    SearchInfo.AllSubDirs = ui->RzCheckBox1->isChecked();
    SearchInfo.DepthLimited = ui->RzCheckBox2->isChecked();
    SearchInfo.Depth = ui->RzNumericEdit1->value();
    accept();
}

namespace {

// The first flag that is set chooses the search; neither searches the chosen folder only.
QStringList SearchForFiles(const TSearchInfo& info) {
    QStringList finds;
    TBusyCursor busy;
    if (info.AllSubDirs)
        SearchFiles(info.Path, info.Mask, true, finds);
    else if (info.DepthLimited)
        SearchFilesDepth(info.Path, info.Mask, info.Depth, finds);
    else
        SearchFiles(info.Path, info.Mask, false, finds);
    return finds;
}

// Offers one find in the shortcut editor; returns the category the editor showed when it
// closed, which is proposed for the next find.
QString OfferFind(const QString& find, const QString& category) {
    TQShortCut proposal;
    proposal.GroupName = category;
    proposal.FileName = find;
    proposal.DisplayName = ExtractFileNameNoExt(find);

    TfrmShortCut editor;
    editor.SetMode(TfrmShortCut::ModeNew);
    editor.SetShortCut(proposal);
    // A category missing from the editor's list falls back to the first one, so no
    // shortcut is stored under a category that no tab shows.
    editor.SelectGroup(category);
    const int result = ShowModal(editor);
    const TQShortCut chosen = editor.GetShortCut();
    if (result == mrOk)
        AddUnlessStored(chosen);
    return chosen.GroupName;
}

QString ProgressText(int done, int count) {
    return QStringLiteral("正在处理") + QString::number(done) + '/' + QString::number(count) +
           QStringLiteral("个文件");
}

} // namespace

void TfrmMain::ActionSearchScExecute() {
    TSearchInfo info;
    {
        TfrmSearch dialog;
        if (ShowModal(dialog) != mrOk)
            return;
        info = dialog.SearchInfo;
    }
    const QStringList finds = SearchForFiles(info);
    if (finds.isEmpty()) {
        MessageDlg(QStringLiteral("没有搜索到可执行文件"), mtInformation, mbOK);
        return;
    }
    const QString question = QStringLiteral("找到") + QString::number(finds.size()) +
                             QStringLiteral("个可执行文件，要进行分类么？");
    if (MessageDlg(question, mtConfirmation, mbYesNo) != mrYes)
        return;
    QString category = CurrentGroupName();
    for (int i = 0; i < finds.size(); ++i) {
        category = OfferFind(finds.at(i), category);
        ShowStatus(ProgressText(i + 1, finds.size()));
    }
    ShowStatus(QStringLiteral("批量处理文件结束。"));
}
