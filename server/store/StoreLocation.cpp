#include "store/StoreLocation.h"

#include <QUrl>
#include <QUrlQuery>

#include "common/Error.h"

namespace telvika::server {

bool StoreLocation::isPostgresUri(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

StoreLocation StoreLocation::parse(const QString& text) {
    StoreLocation l;
    if (!isPostgresUri(text)) {
        l.kind = Kind::Sqlite;
        l.path = text.startsWith(QLatin1String("sqlite:")) ? text.mid(7) : text;
        if (l.path.isEmpty()) throw Error(QStringLiteral("В адресе базы «sqlite:» нет пути к файлу"));
        return l;
    }
    l.kind = Kind::Postgres;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        throw Error(QStringLiteral("Адрес базы данных «%1» не разобран: %2").arg(text, url.errorString()));
    if (!url.password().isEmpty())
        throw Error(QStringLiteral("Пароль в адресе базы данных не принимается: командную строку видят другие "
                                   "пользователи. Задайте его в PGPASSWORD или в файле ~/.pgpass"));
    l.host = url.host();
    l.port = url.port(0);
    l.database = url.path().mid(1);
    l.user = url.userName();
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("password"))
            throw Error(QStringLiteral("Пароль в адресе базы данных не принимается: задайте его в PGPASSWORD или в "
                                       "файле ~/.pgpass"));
        if (key == QLatin1String("host")) l.host = value;
        else if (key == QLatin1String("port")) l.port = value.toInt();
        else if (key == QLatin1String("user")) l.user = value;
        else if (key == QLatin1String("dbname")) l.database = value;
        else l.options << QStringLiteral("%1=%2").arg(key, value);
    }
    return l;
}

QString StoreLocation::serverName() const {
    QString host = this->host;
    if (host.isEmpty()) host = qEnvironmentVariable("PGHOST");
    if (host.isEmpty()) host = QStringLiteral("локальный сокет");
    QString port = this->port > 0 ? QString::number(this->port) : qEnvironmentVariable("PGPORT");
    if (port.isEmpty()) port = QStringLiteral("5432");
    return QStringLiteral("%1:%2").arg(host, port);
}

QString StoreLocation::display() const {
    if (kind == Kind::Sqlite) return path;
    QString db = database.isEmpty() ? qEnvironmentVariable("PGDATABASE") : database;
    return QStringLiteral("postgresql://%1/%2").arg(serverName(), db);
}

}  // namespace telvika::server
