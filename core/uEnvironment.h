#pragma once

#include <QString>

// Expands a leading %variable% of stored paths and keeps the drive variable `removedrive`.
class TEnvironment {
public:
    // The text with its %NAME% references replaced; a reference to an unset variable stays.
    QString GetVariable(const QString& text) const;
    // The path with a leading %NAME% reference replaced; otherwise unchanged.
    QString ExpandPath(const QString& path) const;
    // The value of removedrive; when unset, the executable's drive, which is then recorded.
    QString GetRemoveDrive() const;
    // Persists name=value (user's or machine's environment), sets it in this process and
    // broadcasts the change. False, changing nothing, when the store cannot be opened.
    bool SetVariable(const QString& name, const QString& value, bool userScope) const;
};

// Created and freed by the main window.
extern TEnvironment* Env;
