#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class QDialog;
class QDialogButtonBox;
class QWidget;

// The one place where KELDA shows message boxes, modal dialogs and pickers, and where
// errors become the standard error display. Tests answer them through the hooks below.

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum TMsgDlgButtons { mbOK, mbYesNo };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// A typed message box: mtConfirmation with Yes and No, the others with OK. Returns the
// modal result of the pressed button.
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
// A plain message box with the application's title as caption and one OK button.
void PlainMessageBox(const QString& text);

// The text of the standard error display: a full stop is appended when the last
// character's code is above 46.
QString ErrorDisplayText(const QString& message);
// The standard error display: title "KELDA", error icon, OK.
void ShowStandardError(const QString& message);

// Runs `handler`; an exception leaving it is shown by the standard error display.
void Guarded(const std::function<void()>& handler);

// A slot for a widget's signal that runs `owner`'s handler inside Guarded.
template <typename Owner> auto GuardedSlot(Owner* owner, void (Owner::*handler)()) {
    return [owner, handler] { Guarded([owner, handler] { (owner->*handler)(); }); };
}

// Sets up a dialog's button bar: the two captions, OK as the default button (Enter), OK
// running `okHandler` (which accepts once its checks pass), Cancel and Esc rejecting.
void SetUpButtonBar(QDialog* dialog, QDialogButtonBox* bar, const QString& okCaption,
                    const std::function<void()>& okHandler);
template <typename Dialog>
void SetUpButtonBar(Dialog* dialog, QDialogButtonBox* bar, void (Dialog::*okHandler)(),
                    const QString& okCaption = QStringLiteral("确定")) {
    SetUpButtonBar(static_cast<QDialog*>(dialog), bar, okCaption, GuardedSlot(dialog, okHandler));
}

// Shows a dialog modally and returns its result (QDialog::Accepted -> mrOk, else mrCancel).
int ShowModal(QDialog& dialog);

// File and folder pickers; empty when the user cancels.
QString PickOpenFile(QWidget* parent, const QString& filter, const QString& preset);
QString PickFolder(QWidget* parent);

// Sets the program's font, 宋体 at 12 pixels, for every window.
void ApplyApplicationFont();

// The application object: title "KELDA", the program's font; its notify() is the last-resort net
// for exceptions.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Test hooks. Every box is recorded; boxes with one OK button answer OK by themselves.
// Questions, dialogs and pickers consume queued answers in order; one that appears with
// nothing queued fails the running test (it throws past every guard instead of waiting
// for a user).
namespace UiTestHooks {
struct ShownMessage {
    QString text;
    int type; // TMsgDlgType, or -1 for a plain message box, -2 for the error display
};
void enable();
void reset();
void queueAnswer(int modalResult);
// Called with the real dialog when it would be shown; returns the modal result.
void queueDialog(const std::function<int(QDialog&)>& fill);
void queueOpenFile(const QString& path);
void queueFolder(const QString& path);
const QList<ShownMessage>& shownMessages();
int pendingCount();
} // namespace UiTestHooks
