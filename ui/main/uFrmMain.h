#pragma once

#include "uShortCut.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

class QAction;
class QActionGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;

namespace Ui {
class TfrmMain;
}

// The main window: categories as tabs down the left, the current category's shortcuts
// as large icons, the toolbar of commands, the tray icon and its menu.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Roles of the shortcut list's items: the index of the item's record in the last fill,
    // and the index of its picture in dm->ImageList2.
    enum ItemRole { RecordRole = Qt::UserRole, ImageIndexRole = Qt::UserRole + 1 };

    // False when the tray start-up question decided to start with the icon alone.
    bool ShowMainFormAtStart() const;

    QString MainTitle() const;
    QString CurrentGroupName() const;
    void ShowStatus(const QString& text);
    void RefreshCurrentGroup();
    void LoadGroupShortCuts(const QString& groupName);
    void LoadGroupTabs();
    void RebuildTrayMenu();

    // The records of the selected list items, in list order.
    QList<TQShortCut*> SelectedShortCuts();
    TQShortCut* FirstSelectedShortCut();

    // Commands (one per action of ActionList1).
    void ActionNewGroupExecute();
    void ActionDelGroupExecute();
    void ActionAddScExecute();
    void ActionUpdateScExecute();
    void ActionDelScExecute();
    void ActionSearchScExecute();
    void ActionRefreshExecute();
    void ActionOptionExecute();
    void ActionAboutExecute();
    void ActionShowMainExecute();
    void ActionDeltreeExecute();
    void ActionOpenFolderExecute();

    // Event handlers.
    void RzTabControl1TabClick();
    void RzTabControl1TabOrderChange();
    void RzListView1DblClick();
    void RzListView1MouseMove(const QPoint& position);
    void Exit1Click();
    void CoolTrayIcon1Startup(bool& showMainForm);
    void CoolTrayIcon1Click();
    void PopupMenu1Popup();
    void N2Click();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void CreateActions();
    void CreateToolbar();
    void CreateTray();
    void ConnectEvents();
    void CentreOnScreen();
    void ClearShortCutItems();
    int ChooseItemImage(const TQShortCut& record);
    QFont BoldFont() const;
    void MarkSelectedTab();
    void FitTabStripWidth();
    void DeleteProgramFolder(const TQShortCut& record);
    void RemoveRebuiltTrayItems();
    QAction* CreateCategoryItem(const TQShortCutGroup& group);
    QImage TrayPicture(const TQShortCut& record) const;

    Ui::TfrmMain* ui;
    QActionGroup* ActionList1 = nullptr;
    QLabel* RzStatusPane1 = nullptr;
    QSystemTrayIcon* CoolTrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    TQShortCutList m_records; // the records of the last fill, one per list item
    bool m_showMainForm = true;
};

extern TfrmMain* frmMain;
