#include "About.h"

#include "Platform.h"
#include "uFrmMain.h"
#include "uPictures.h"
#include "uUiKit.h"
#include "ui_About.h"

#include <QMouseEvent>
#include <QPixmap>

namespace {

// The largest of the application icon's sizes that the resources hold.
QPixmap ApplicationIcon() {
    for (int size : {48, 32, 24, 16}) {
        const QImage picture = Picture(QStringLiteral("app/%1").arg(size));
        if (!picture.isNull())
            return QPixmap::fromImage(picture);
    }
    return {};
}

QString VersionText() {
    const QString version = QString::fromStdString(platform().fileVersion());
    return QStringLiteral("Version:") +
           (version.isEmpty() ? QStringLiteral("Value Not Available") : version);
}

} // namespace

const char* const TAboutBox::AuthorPage = "https://kelda.example.org/";

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(new Ui::TAboutBox) {
    ui->setupUi(this);
    StyleLinkLabel();
    ui->RzURLLabel1->installEventFilter(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::StyleLinkLabel() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    font.setUnderline(true);
    ui->RzURLLabel1->setFont(font);
    QPalette palette = ui->RzURLLabel1->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Highlight));
    ui->RzURLLabel1->setPalette(palette);
}

void TAboutBox::FormCreate() {
    ui->ProgramIcon->setPixmap(ApplicationIcon());
    ui->Version->setText(VersionText());
}

// The label has no click signal of its own; a left-button release over it is the click.
bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->RzURLLabel1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            ui->RzURLLabel1->rect().contains(mouse->position().toPoint())) {
            Guarded([this] { RzURLLabel1Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::RzURLLabel1Click() {
    platform().openUrl(AuthorPage);
}

void TfrmMain::ActionAboutExecute() {
    TAboutBox box;
    ShowModal(box);
}
