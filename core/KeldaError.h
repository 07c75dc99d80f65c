#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the core: a message the user can read. The core never shows UI;
// the windows' guard shows it through the standard error display.
class KeldaError : public std::runtime_error {
public:
    explicit KeldaError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
