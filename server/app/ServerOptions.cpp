#include "app/ServerOptions.h"

#include <QDir>
#include <QStandardPaths>

namespace telvika::server {

bool ServerOptions::parse(const QStringList& arguments, ServerOptions* options, QString* error) {
    ServerOptions o;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString* out) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                *error = QStringLiteral("После «%1» нужно значение").arg(a);
                return false;
            }
            *out = arguments[++i];
            return true;
        };
        if (a == QStringLiteral("--socket")) {
            if (!value(&o.socketName)) return false;
        } else if (a == QStringLiteral("--data")) {
            if (!value(&o.dataFolder)) return false;
        } else if (a == QStringLiteral("--store")) {
            if (!value(&o.store)) return false;
        } else if (a == QStringLiteral("--error-file")) {
            if (!value(&o.errorFile)) return false;
        } else if (a == QStringLiteral("--no-demo")) {
            o.demo = false;
        } else if (a == QStringLiteral("--live")) {
            QString text;
            if (!value(&text)) return false;
            bool ok = false;
            o.liveSeconds = text.toInt(&ok);
            if (!ok || o.liveSeconds < 1 || o.liveSeconds > 86400) {
                *error = QStringLiteral("«--live» ожидает число секунд от 1 до 86400, а не «%1»").arg(text);
                return false;
            }
        } else if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            o.help = true;
        } else {
            *error = QStringLiteral("Неизвестный параметр «%1»").arg(a);
            return false;
        }
    }
    *options = o;
    return true;
}

QString ServerOptions::usage() {
    return QStringLiteral(
        "Использование: telvika-server [--socket ИМЯ] [--data ПАПКА] [--store АДРЕС] [--no-demo] [--live СЕКУНДЫ]\n"
        "  --socket ИМЯ      локальный сокет (по умолчанию свой для каждого пользователя)\n"
        "  --data ПАПКА      папка базы данных (по умолчанию %1)\n"
        "  --store АДРЕС     база данных: sqlite:ФАЙЛ (по умолчанию telvika-server.db в папке данных) или\n"
        "                    postgresql://сервер[:порт]/база, общая для нескольких серверов; пароль берётся\n"
        "                    из PGPASSWORD или ~/.pgpass; без --store берётся TELVIKA_STORE\n"
        "  --no-demo         не заполнять пустую базу демонстрационным парком\n"
        "  --live СЕКУНДЫ    двигать демонстрационный парк, сохраняя новые точки каждые СЕКУНДЫ\n"
        "  --error-file ФАЙЛ записать причину неудачного запуска в ФАЙЛ\n")
        .arg(QDir::toNativeSeparators(defaultDataFolder()));
}

QString ServerOptions::defaultDataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("telvika"));
}

}  // namespace telvika::server
