#pragma once

#include <QString>

#include <new>
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

// The message of any exception as a QString for the user (std::exception::what() is UTF-8 here).
// Messages written for the user (telvika::Error, the map control's errors) are Russian and stand as
// they are; the English text of a library's own exception is put inside a Russian sentence.
inline QString messageOf(const std::exception& e) {
    if (auto* err = dynamic_cast<const Error*>(&e)) return err->message();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("Операция не выполнена: недостаточно памяти.");
    const QString what = QString::fromUtf8(e.what());
    for (const QChar c : what)
        if (c.script() == QChar::Script_Cyrillic) return what;
    return QStringLiteral("Операция не выполнена из-за внутренней ошибки: %1").arg(what);
}

}  // namespace telvika
