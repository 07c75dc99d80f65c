#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

// The About box: product name, the executable's version, the free-software notice and a
// link to the author's web page.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    static const char* const AuthorPage;

    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    void RzURLLabel1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void StyleLinkLabel();

    std::unique_ptr<Ui::TAboutBox> ui;
};
