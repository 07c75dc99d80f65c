#include "uFrmMain.h"
#include "ui_uFrmMain.h"

#include "Platform.h"
#include "uCommon.h"
#include "uDataModule.h"
#include "uEnvironment.h"
#include "uPictures.h"
#include "uUiKit.h"
#include "udMenuItem.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

TfrmMain* frmMain = nullptr;

namespace {

const int FileTypePictureCount = 4;
const int ToolButtonWidth = 68;
const int WideToolButtonWidth = 92;
const int ToolButtonHeight = 32;
const int FixedTrayItemCount = 3;

// ".exe" programs show their own icon; other programs the picture of their file type.
const int OwnIcon = -1;

int FileTypePictureOf(const QString& path) {
    const QString extension = LowerCaseExtension(path);
    if (extension == QLatin1String(".exe"))
        return OwnIcon;
    if (extension == QLatin1String(".bat"))
        return PictureBat;
    if (extension == QLatin1String(".com"))
        return PictureCom;
    return PictureOther;
}

QIcon iconOf(const QImage& image) {
    return QIcon(QPixmap::fromImage(image));
}

// Menus would take "&" as an access key; captions are shown exactly as written.
QString menuCaption(const QString& text) {
    QString caption = text;
    return caption.replace('&', QStringLiteral("&&"));
}

QIcon categoryIcon(int imageIndex) {
    if (imageIndex < 0 || imageIndex >= dm->ImageList1.Count())
        return {};
    return iconOf(dm->ImageList1.Image(imageIndex));
}

QIcon actionIcon(int index) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(Picture(QStringLiteral("action32/%1").arg(index))));
    icon.addPixmap(QPixmap::fromImage(Picture(QStringLiteral("action16/%1").arg(index))));
    return icon;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        const QImage picture = Picture(QStringLiteral("app/%1").arg(size));
        if (!picture.isNull())
            icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

const char* const TabStripStyle = R"(
QListWidget#RzTabControl1 { border: none; background: palette(window); outline: none; }
QListWidget#RzTabControl1::item {
    border: 1px solid palette(mid); border-right: none;
    border-top-left-radius: 4px; border-bottom-left-radius: 4px;
    margin: 1px 0px 1px 2px; padding: 4px 6px; background: palette(button); color: palette(button-text);
}
QListWidget#RzTabControl1::item:selected { background: palette(base); color: palette(text); }
)";

} // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent), ui(new Ui::TfrmMain) {
    ui->setupUi(this);
    CreateActions();
    CreateToolbar();
    RzStatusPane1 = new QLabel(this);
    RzStatusPane1->setObjectName(QStringLiteral("RzStatusPane1"));
    ui->RzStatusBar1->addWidget(RzStatusPane1, 1);
    ui->RzTabControl1->setStyleSheet(TabStripStyle);
    // Icon view would let the user drag icons around; their order is the store's.
    ui->RzListView1->setMovement(QListView::Static);
    ui->RzListView1->viewport()->setMouseTracking(true);
    ui->RzListView1->viewport()->installEventFilter(this);
    CreateTray();
    CoolTrayIcon1Startup(m_showMainForm);
    ConnectEvents();
    CentreOnScreen();
    Guarded([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    delete ui;
}

bool TfrmMain::ShowMainFormAtStart() const {
    // Without a notification area the icon cannot bring the window back: show it anyway.
    return m_showMainForm || !QSystemTrayIcon::isSystemTrayAvailable();
}

void TfrmMain::CreateActions() {
    struct ActionSetup {
        QAction* action;
        int imageIndex;
        void (TfrmMain::*execute)();
    };
    const ActionSetup setups[] = {
        {ui->ActionNewGroup, 0, &TfrmMain::ActionNewGroupExecute},
        {ui->ActionDelGroup, 1, &TfrmMain::ActionDelGroupExecute},
        {ui->ActionAddSc, 3, &TfrmMain::ActionAddScExecute},
        {ui->ActionUpdateSc, 4, &TfrmMain::ActionUpdateScExecute},
        {ui->ActionDelSc, 5, &TfrmMain::ActionDelScExecute},
        {ui->ActionSearchSc, 7, &TfrmMain::ActionSearchScExecute},
        {ui->ActionRefresh, 6, &TfrmMain::ActionRefreshExecute},
        {ui->ActionOption, 2, &TfrmMain::ActionOptionExecute},
        {ui->ActionAbout, 9, &TfrmMain::ActionAboutExecute},
        {ui->ActionShowMain, -1, &TfrmMain::ActionShowMainExecute},
        {ui->ActionDeltree, 8, &TfrmMain::ActionDeltreeExecute},
        {ui->ActionOpenFolder, 10, &TfrmMain::ActionOpenFolderExecute},
    };
    ActionList1 = new QActionGroup(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    ActionList1->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (const ActionSetup& setup : setups) {
        ActionList1->addAction(setup.action);
        if (setup.imageIndex >= 0)
            setup.action->setIcon(actionIcon(setup.imageIndex));
        connect(setup.action, &QAction::triggered, this, GuardedSlot(this, setup.execute));
    }
    connect(ui->Exit1, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::Exit1Click));

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addAction(ui->ActionOpenFolder);
    PopupMenu2->addSeparator()->setObjectName(QStringLiteral("N9"));
    PopupMenu2->addAction(ui->ActionAddSc);
    PopupMenu2->addAction(ui->ActionUpdateSc);
    PopupMenu2->addAction(ui->ActionDelSc);
}

void TfrmMain::CreateToolbar() {
    struct ButtonSetup {
        const char* name;
        QAction* action;
        int width;
    };
    const ButtonSetup buttons[] = {
        {"RzToolButton7", ui->ActionNewGroup, ToolButtonWidth},
        {"RzToolButtonDelShortCutGroup", ui->ActionDelGroup, ToolButtonWidth},
        {"RzSpacer1", nullptr, 0},
        {"RzToolButtonNew", ui->ActionAddSc, ToolButtonWidth},
        {"RzToolButtonEdit", ui->ActionUpdateSc, ToolButtonWidth},
        {"RzToolButtonDel", ui->ActionDelSc, ToolButtonWidth},
        {"RzToolButton5", ui->ActionDeltree, WideToolButtonWidth},
        {"RzToolButton3", ui->ActionSearchSc, ToolButtonWidth},
        {"RzSpacer2", nullptr, 0},
        {"RzToolButton2", ui->ActionRefresh, ToolButtonWidth},
        {"RzToolButton1", ui->ActionOption, ToolButtonWidth},
        {"RzToolButton4", ui->ActionAbout, ToolButtonWidth},
    };
    for (const ButtonSetup& setup : buttons) {
        if (!setup.action) {
            auto* spacer = new QFrame(ui->RzToolbar4);
            spacer->setObjectName(QLatin1String(setup.name));
            spacer->setFrameShape(QFrame::VLine);
            spacer->setFrameShadow(QFrame::Sunken);
            spacer->setFixedSize(10, ToolButtonHeight);
            ui->RzToolbar4->addWidget(spacer);
            continue;
        }
        auto* button = new QToolButton(ui->RzToolbar4);
        button->setObjectName(QLatin1String(setup.name));
        button->setDefaultAction(setup.action);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        button->setFixedSize(setup.width, ToolButtonHeight + 4);
        ui->RzToolbar4->addWidget(button);
    }
}

void TfrmMain::CreateTray() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    // The menu's two separators stand next to each other while no category exists.
    PopupMenu1->setSeparatorsCollapsible(false);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N6"));
    PopupMenu1->addAction(ui->ActionOption);
    auto* exitItem = PopupMenu1->addAction(QStringLiteral("退出"));
    exitItem->setObjectName(QStringLiteral("N2"));
    connect(exitItem, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N2Click));
    connect(PopupMenu1, &QMenu::aboutToShow, this, GuardedSlot(this, &TfrmMain::PopupMenu1Popup));

    CoolTrayIcon1 = new QSystemTrayIcon(this);
    CoolTrayIcon1->setObjectName(QStringLiteral("CoolTrayIcon1"));
    CoolTrayIcon1->setContextMenu(PopupMenu1);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    Guarded([this] { CoolTrayIcon1Click(); });
            });
}

void TfrmMain::ConnectEvents() {
    connect(ui->RzTabControl1, &QListWidget::pressed, this,
            GuardedSlot(this, &TfrmMain::RzTabControl1TabClick));
    connect(ui->RzTabControl1, &QListWidget::itemSelectionChanged, this,
            &TfrmMain::MarkSelectedTab);
    connect(ui->RzTabControl1->model(), &QAbstractItemModel::rowsMoved, this,
            GuardedSlot(this, &TfrmMain::RzTabControl1TabOrderChange));
    connect(ui->RzListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(ui->RzListView1->viewport()->mapToGlobal(at));
    });
}

void TfrmMain::CentreOnScreen() {
    resize(800, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->RzListView1->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
            Guarded([&] { RzListView1MouseMove(position); });
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            Guarded([this] { RzListView1DblClick(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::FormCreate() {
    const QIcon appIcon = applicationIcon();
    setWindowIcon(appIcon);
    CoolTrayIcon1->setIcon(appIcon);
    CoolTrayIcon1->show();
    Env = new TEnvironment;
    setWindowTitle(MainTitle());
    LoadGroupTabs();
}

void TfrmMain::FormDestroy() {
    ClearShortCutItems();
    delete Env;
    Env = nullptr;
}

QString TfrmMain::MainTitle() const {
    return QStringLiteral("kelda portable drive:") + Env->GetRemoveDrive().left(1);
}

QString TfrmMain::CurrentGroupName() const {
    const QList<QListWidgetItem*> selected = ui->RzTabControl1->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void TfrmMain::ShowStatus(const QString& text) {
    RzStatusPane1->setText(text);
}

void TfrmMain::LoadGroupTabs() {
    QListWidget* tabs = ui->RzTabControl1;
    {
        const QSignalBlocker blocker(tabs);
        tabs->clear();
    }
    TQShortCutGroupList groups;
    dm->LoadGroups(groups);
    for (const TQShortCutGroup& group : groups)
        tabs->addItem(new QListWidgetItem(categoryIcon(group.ImageIndex), group.GroupName));
    tabs->clearSelection();
    FitTabStripWidth();
}

// Wide enough for every name, the selected one in bold; bold glyphs are only measured once
// a tab is selected, which keeps them out of the start.
void TfrmMain::FitTabStripWidth() {
    QListWidget* tabs = ui->RzTabControl1;
    const QFontMetrics plain(tabs->font());
    int widest = 0;
    for (int row = 0; row < tabs->count(); ++row) {
        const QListWidgetItem* tab = tabs->item(row);
        const int width = tab->isSelected()
                              ? QFontMetrics(BoldFont()).horizontalAdvance(tab->text())
                              : plain.horizontalAdvance(tab->text());
        widest = qMax(widest, width);
    }
    tabs->setFixedWidth(qBound(100, widest + 70, 240));
}

void TfrmMain::RefreshCurrentGroup() {
    const TBusyCursor busy;
    LoadGroupShortCuts(CurrentGroupName());
}

void TfrmMain::LoadGroupShortCuts(const QString& groupName) {
    if (groupName.isEmpty())
        return;
    ClearShortCutItems();
    dm->ImageList2.TruncateTo(FileTypePictureCount);
    dm->LoadShortCuts(groupName, m_records);
    QIcon fileTypeIcons[FileTypePictureCount];
    for (int i = 0; i < FileTypePictureCount; ++i)
        fileTypeIcons[i] = iconOf(dm->ImageList2.Image(i));
    for (int row = 0; row < m_records.size(); ++row) {
        const int image = ChooseItemImage(m_records[row]);
        const QIcon icon = image < FileTypePictureCount ? fileTypeIcons[image]
                                                        : iconOf(dm->ImageList2.Image(image));
        auto* item = new QListWidgetItem(icon, m_records[row].DisplayName);
        item->setData(RecordRole, row);
        item->setData(ImageIndexRole, image);
        ui->RzListView1->addItem(item);
    }
}

int TfrmMain::ChooseItemImage(const TQShortCut& record) {
    if (!record.ProgramExists())
        return PictureMissing;
    const int picture = FileTypePictureOf(record.FileName);
    if (picture != OwnIcon)
        return picture;
    // An icon that could not be captured shows as an ordinary file, not as a blank.
    if (record.IconBitmap.isNull())
        return PictureOther;
    return dm->ImageList2.Add(
        record.IconBitmap.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TfrmMain::ClearShortCutItems() {
    ui->RzListView1->clear();
    m_records.clear();
}

QList<TQShortCut*> TfrmMain::SelectedShortCuts() {
    QList<TQShortCut*> selected;
    for (int row = 0; row < ui->RzListView1->count(); ++row) {
        const QListWidgetItem* item = ui->RzListView1->item(row);
        if (item->isSelected())
            selected.append(&m_records[item->data(RecordRole).toInt()]);
    }
    return selected;
}

TQShortCut* TfrmMain::FirstSelectedShortCut() {
    const QList<TQShortCut*> selected = SelectedShortCuts();
    return selected.isEmpty() ? nullptr : selected.first();
}

QFont TfrmMain::BoldFont() const {
    QFont bold = ui->RzTabControl1->font();
    bold.setBold(true);
    return bold;
}

void TfrmMain::MarkSelectedTab() {
    QListWidget* tabs = ui->RzTabControl1;
    for (int row = 0; row < tabs->count(); ++row) {
        QListWidgetItem* tab = tabs->item(row);
        tab->setFont(tab->isSelected() ? BoldFont() : tabs->font());
    }
    FitTabStripWidth();
}

void TfrmMain::RzTabControl1TabClick() {
    RefreshCurrentGroup();
}

void TfrmMain::RzTabControl1TabOrderChange() {
    QStringList names;
    for (int row = 0; row < ui->RzTabControl1->count(); ++row)
        names.append(ui->RzTabControl1->item(row)->text());
    dm->SetGroupOrder(names);
}

void TfrmMain::RzListView1DblClick() {
    const TQShortCut* record = FirstSelectedShortCut();
    if (record && record->ProgramExists())
        LaunchProgram(Env->ExpandPath(record->FileName), record->Parameters);
}

void TfrmMain::RzListView1MouseMove(const QPoint& position) {
    const QListWidgetItem* item = ui->RzListView1->itemAt(position);
    if (!item) {
        ShowStatus(QString());
        return;
    }
    const TQShortCut& record = m_records[item->data(RecordRole).toInt()];
    const QString path = Env->ExpandPath(record.FileName);
    if (record.ProgramExists())
        ShowStatus(path + ' ' + Env->ExpandPath(record.Parameters));
    else
        ShowStatus(path + QStringLiteral("不存在!"));
}

void TfrmMain::Exit1Click() {
    close();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, also while it is hidden in the tray.
    event->accept();
    QCoreApplication::quit();
}

// Category and shortcut commands.

void TfrmMain::ActionDelGroupExecute() {
    const QString name = CurrentGroupName();
    if (name.isEmpty())
        return;
    if (MessageDlg(QStringLiteral("确定要删除分类[") + name + ']', mtConfirmation, mbYesNo) !=
        mrYes)
        return;
    dm->DeleteGroup(name);
    LoadGroupTabs();
}

void TfrmMain::ActionDelScExecute() {
    const QList<TQShortCut*> selected = SelectedShortCuts();
    if (selected.isEmpty())
        return;
    if (MessageDlg(QStringLiteral(" 确定删除选中的快速启动项目？"), mtConfirmation, mbYesNo) ==
        mrYes) {
        for (const TQShortCut* record : selected)
            dm->DeleteShortCut(*record);
    }
    RefreshCurrentGroup();
}

void TfrmMain::ActionDeltreeExecute() {
    const QList<TQShortCut*> selected = SelectedShortCuts();
    if (selected.isEmpty())
        return;
    const QString question =
        QStringLiteral(" 确定物理删除选中的快速启动项目？物理删除将删除应用程序所在目录所有文件！");
    if (MessageDlg(question, mtConfirmation, mbYesNo) == mrYes) {
        for (const TQShortCut* record : selected)
            DeleteProgramFolder(*record);
    }
    RefreshCurrentGroup();
}

// The shortcut goes first, whatever the answer about its folder.
void TfrmMain::DeleteProgramFolder(const TQShortCut& record) {
    dm->DeleteShortCut(record);
    const QString folder = ExtractFolderPart(Env->ExpandPath(record.FileName));
    if (MessageDlg(QStringLiteral("确定删除目录") + folder + '?', mtConfirmation, mbYesNo) != mrYes)
        return;
    if (!DeleteTree(folder))
        MessageDlg(QStringLiteral("删除目录[") + folder + QStringLiteral("]失败！"), mtError, mbOK);
}

void TfrmMain::ActionOpenFolderExecute() {
    const TQShortCut* record = FirstSelectedShortCut();
    if (!record)
        return;
    const QString folder = ExtractFolderPart(Env->ExpandPath(record->FileName));
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        platform().shellOpen(folder.toStdString(), std::string(), std::string(), ShowNormal);
}

void TfrmMain::ActionRefreshExecute() {
    RefreshCurrentGroup();
}

// Tray icon and tray menu.

void TfrmMain::CoolTrayIcon1Startup(bool& showMainForm) {
    showMainForm = platform().readSetting("min") != "1";
}

void TfrmMain::CoolTrayIcon1Click() {
    ActionShowMainExecute();
}

void TfrmMain::ActionShowMainExecute() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TfrmMain::PopupMenu1Popup() {
    RebuildTrayMenu();
}

void TfrmMain::RebuildTrayMenu() {
    RemoveRebuiltTrayItems();
    QAction* const firstFixed = PopupMenu1->actions().first();

    auto* showMain = new QAction(menuCaption(MainTitle()), PopupMenu1);
    showMain->setStatusTip(QStringLiteral("启动KELDA主界面"));
    showMain->setToolTip(QStringLiteral("启动KELDA主界面"));
    connect(showMain, &QAction::triggered, ui->ActionShowMain, &QAction::trigger);
    PopupMenu1->insertAction(firstFixed, showMain);

    auto* separator = new QAction(PopupMenu1);
    separator->setSeparator(true);
    separator->setEnabled(false);
    PopupMenu1->insertAction(firstFixed, separator);

    TQShortCutGroupList groups;
    dm->LoadGroups(groups);
    for (const TQShortCutGroup& group : groups)
        PopupMenu1->insertAction(firstFixed, CreateCategoryItem(group));
}

void TfrmMain::RemoveRebuiltTrayItems() {
    QList<QAction*> items = PopupMenu1->actions();
    items.resize(items.size() - FixedTrayItemCount);
    for (QAction* item : items) {
        PopupMenu1->removeAction(item);
        if (QMenu* submenu = item->menu())
            submenu->deleteLater();
        item->deleteLater();
    }
}

QAction* TfrmMain::CreateCategoryItem(const TQShortCutGroup& group) {
    TQShortCutList records;
    dm->LoadShortCuts(group.GroupName, records);
    if (records.isEmpty())
        return new QAction(categoryIcon(group.ImageIndex), menuCaption(group.GroupName),
                           PopupMenu1);
    auto* submenu = new QMenu(menuCaption(group.GroupName), PopupMenu1);
    submenu->setIcon(categoryIcon(group.ImageIndex));
    for (const TQShortCut& record : records) {
        auto* item = new TdSubMenuItem(menuCaption(record.DisplayName), submenu);
        item->FileName = record.FileName;
        item->Parameters = record.Parameters;
        item->setIcon(iconOf(TrayPicture(record)));
        submenu->addAction(item);
    }
    return submenu->menuAction();
}

QImage TfrmMain::TrayPicture(const TQShortCut& record) const {
    if (!record.ProgramExists())
        return dm->MissingFileBitmap;
    switch (FileTypePictureOf(Env->ExpandPath(record.FileName))) {
    case OwnIcon:
        return record.IconBitmap;
    case PictureBat:
        return dm->BatFileBitmap;
    case PictureCom:
        return dm->ComFileBitmap;
    default:
        return dm->OtherFileBitmap;
    }
}

void TfrmMain::N2Click() {
    close();
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimised, the window lives on as the tray icon alone, as long as there is a tray.
    if (event->type() == QEvent::WindowStateChange && isMinimized() &&
        QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, this, &QWidget::hide);
}
