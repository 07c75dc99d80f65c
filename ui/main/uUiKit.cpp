#include "uUiKit.h"

#include "KeldaError.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <exception>

namespace {

struct HookState {
    bool enabled = false;
    QQueue<int> answers;
    QQueue<std::function<int(QDialog&)>> dialogs;
    QQueue<QString> openFiles;
    QQueue<QString> folders;
    QList<UiTestHooks::ShownMessage> shown;
};

HookState& hooks() {
    static HookState state;
    return state;
}

// Under test, a box with no queued answer is a fault of the test, not a reason to hang.
class UnansweredInTest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <typename T> T takeQueued(QQueue<T>& queue, const char* what) {
    if (queue.isEmpty())
        throw UnansweredInTest(std::string("unexpected ") + what + " in a test");
    return queue.dequeue();
}

int recordOk(const QString& text, int type) {
    hooks().shown.append({text, type});
    return mrOk;
}

int recordAndAnswer(const QString& text, int type) {
    hooks().shown.append({text, type});
    return takeQueued(hooks().answers, "message box");
}

QMessageBox::Icon iconOf(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The platform's caption for each typed box, as the Windows originals show them.
QString captionOf(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QStringLiteral("Warning");
    case mtError:
        return QStringLiteral("Error");
    case mtInformation:
        return QStringLiteral("Information");
    case mtConfirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

void showBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

} // namespace

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    if (hooks().enabled)
        return buttons == mbYesNo ? recordAndAnswer(text, type) : recordOk(text, type);
    if (buttons == mbYesNo) {
        QMessageBox box(iconOf(type), captionOf(type), text, QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? mrYes : mrNo;
    }
    showBox(iconOf(type), captionOf(type), text);
    return mrOk;
}

void PlainMessageBox(const QString& text) {
    if (hooks().enabled) {
        recordOk(text, -1);
        return;
    }
    showBox(QMessageBox::NoIcon, QApplication::applicationName(), text);
}

QString ErrorDisplayText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > '.')
        return message + '.';
    return message;
}

void ShowStandardError(const QString& message) {
    const QString text = ErrorDisplayText(message);
    if (hooks().enabled) {
        recordOk(text, -2);
        return;
    }
    showBox(QMessageBox::Critical, QStringLiteral("KELDA"), text);
}

void Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const KeldaError& error) {
        ShowStandardError(error.message());
    } catch (const UnansweredInTest&) {
        throw; // a test's unanswered box: let the test fail
    } catch (const std::exception& error) {
        ShowStandardError(QString::fromLocal8Bit(error.what()));
    }
}

void SetUpButtonBar(QDialog* dialog, QDialogButtonBox* bar, const QString& okCaption,
                    const std::function<void()>& okHandler) {
    QPushButton* ok = bar->button(QDialogButtonBox::Ok);
    ok->setText(okCaption);
    ok->setDefault(true);
    bar->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(bar, &QDialogButtonBox::accepted, dialog, okHandler);
    QObject::connect(bar, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

int ShowModal(QDialog& dialog) {
    if (hooks().enabled)
        return takeQueued(hooks().dialogs, "dialog")(dialog);
    return dialog.exec() == QDialog::Accepted ? mrOk : mrCancel;
}

QString PickOpenFile(QWidget* parent, const QString& filter, const QString& preset) {
    if (hooks().enabled)
        return takeQueued(hooks().openFiles, "file picker");
    return QFileDialog::getOpenFileName(parent, QString(), preset, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString PickFolder(QWidget* parent) {
    if (hooks().enabled)
        return takeQueued(hooks().folders, "folder picker");
    return QFileDialog::getExistingDirectory(parent);
}

void ApplyApplicationFont() {
    // The windows are laid out for 宋体 at 12 pixels; elsewhere a CJK font stands in for it.
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("AR PL UMing CN"),
                                                        QStringLiteral("Noto Serif CJK SC"),
                                                        QStringLiteral("WenQuanYi Micro Hei")});
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("KELDA"));
    // The program ends when its main window closes, not when its last visible window does:
    // the window may be hidden in the tray.
    setQuitOnLastWindowClosed(false);
    ApplyApplicationFont();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

namespace UiTestHooks {
void enable() {
    hooks().enabled = true;
}
void reset() {
    const bool enabled = hooks().enabled;
    hooks() = HookState();
    hooks().enabled = enabled;
}
void queueAnswer(int modalResult) {
    hooks().answers.enqueue(modalResult);
}
void queueDialog(const std::function<int(QDialog&)>& fill) {
    hooks().dialogs.enqueue(fill);
}
void queueOpenFile(const QString& path) {
    hooks().openFiles.enqueue(path);
}
void queueFolder(const QString& path) {
    hooks().folders.enqueue(path);
}
const QList<ShownMessage>& shownMessages() {
    return hooks().shown;
}
int pendingCount() {
    return hooks().answers.size() + hooks().dialogs.size() + hooks().openFiles.size() +
           hooks().folders.size();
}
} // namespace UiTestHooks
