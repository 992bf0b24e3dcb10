#include "store/StoreListener.h"

#include <QSocketNotifier>

#include <libpq-fe.h>

#include "common/Error.h"
#include "store/StoreLocation.h"
#include "store/postgres/PgAnnouncement.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server {

StoreListener::StoreListener(const QString& location, QObject* parent) : QObject(parent), location_(location) {
    shared_ = StoreLocation::isPostgresUri(location);
    if (!shared_) return;
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &StoreListener::connectNow);
    // A closed connection makes the socket readable and is seen at once; this catches a connection
    // that libpq found broken on its own.
    check_.setInterval(2000);
    connect(&check_, &QTimer::timeout, this, [this] {
        if (connection_ && !connection_->lost() && PQstatus(connection_->handle()) == CONNECTION_BAD) lose();
    });
    connectNow();
}

StoreListener::~StoreListener() {
    delete notifier_;
    notifier_ = nullptr;
}

void StoreListener::connectNow() {
    try {
        connection_ = std::make_unique<PgConnection>(StoreLocation::parse(location_), QStringLiteral("telvika-listener"));
        connection_->exec(QStringLiteral("LISTEN %1").arg(QLatin1String(pgannouncement::Channel)).toUtf8().constData(),
                          QStringLiteral("Не удалось подписаться на изменения базы"));
    } catch (const Error&) {
        connection_.reset();
        retryMs_ = retryMs_ == 0 ? PgConnection::FirstRetryMs : qMin(retryMs_ * 2, PgConnection::LastRetryMs);
        retry_.start(retryMs_);
        return;
    }
    retryMs_ = 0;
    notifier_ = new QSocketNotifier(PQsocket(connection_->handle()), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StoreListener::onReadable);
    check_.start();
    if (std::exchange(everConnected_, true)) emit resumed();
}

void StoreListener::lose() {
    delete notifier_;
    notifier_ = nullptr;
    check_.stop();
    connection_.reset();
    retryMs_ = PgConnection::FirstRetryMs;
    retry_.start(retryMs_);
}

void StoreListener::onReadable() {
    PGconn* conn = connection_ ? connection_->handle() : nullptr;
    if (!conn || PQconsumeInput(conn) == 0 || PQstatus(conn) == CONNECTION_BAD) return lose();
    while (PGnotify* n = PQnotifies(conn)) {
        const QString payload = QString::fromUtf8(n->extra);
        PQfreemem(n);
        if (const auto event = pgannouncement::decode(payload)) emit announced(*event);
    }
}

}  // namespace telvika::server
