#pragma once

#include <QDialog>
#include <QWidget>

// The child `name` of `parent`. A missing widget ends the run at once: every later step of
// the test would only fail on a null pointer.
template <typename T> T* widget(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr)
        qFatal("widget %s not found", name);
    return found;
}

// Press the real OK or Cancel button of the dialog's RzDialogButtons1. The result is what
// ShowModal would answer: mrOk if the dialog closed accepted, otherwise mrCancel.
int pressOk(QDialog& dialog);
int pressCancel(QDialog& dialog);
