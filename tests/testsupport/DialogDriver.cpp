#include "DialogDriver.h"

#include "uUiKit.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace {

int press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    widget<QDialogButtonBox>(dialog, "RzDialogButtons1")->button(which)->click();
    return dialog.result() == QDialog::Accepted ? mrOk : mrCancel;
}

} // namespace

int pressOk(QDialog& dialog) {
    return press(dialog, QDialogButtonBox::Ok);
}

int pressCancel(QDialog& dialog) {
    return press(dialog, QDialogButtonBox::Cancel);
}
