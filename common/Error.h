#pragma once

#include <QString>

#include <stdexcept>

namespace telvika {

// The failure of an operation of the player's logic. Its message is shown to the user as it stands,
// so it is written in the user's language.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const { return message_; }

private:
    QString message_;
};

// The message of any exception as a QString (std::exception::what() is UTF-8 here).
inline QString messageOf(const std::exception& e) {
    if (auto* err = dynamic_cast<const Error*>(&e)) return err->message();
    return QString::fromUtf8(e.what());
}

}  // namespace telvika
