#include "store/postgres/PgConnection.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <libpq-fe.h>

#include <cstdlib>

#include "common/Error.h"

namespace telvika::server {

namespace {

QAtomicInt connectionCounter;

// The first line of a libpq message, without the "connection to server at ... failed:" prefix that
// the message naming the server says already.
QString detailOf(const QString& libpqText) {
    QString text = libpqText.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    const int failed = text.indexOf(QLatin1String(" failed: "));
    if (text.startsWith(QLatin1String("connection to server")) && failed > 0) text = text.mid(failed + 9);
    return text;
}

// What a connection failure means for the user, with libpq's own text as the detail.
QString reasonOf(const QString& libpqText) {
    const QString detail = detailOf(libpqText);
    const QString t = libpqText.toLower();
    QString reason;
    if (t.contains(QLatin1String("connection refused")) || t.contains(QLatin1String("no such file or directory")))
        reason = QStringLiteral("сервер не принимает подключения");
    else if (t.contains(QLatin1String("timeout expired")) || t.contains(QLatin1String("timed out")))
        reason = QStringLiteral("сервер не ответил вовремя");
    else if (t.contains(QLatin1String("could not translate host name")))
        reason = QStringLiteral("имя сервера не найдено");
    else if (t.contains(QLatin1String("password")) || t.contains(QLatin1String("authentication")))
        reason = QStringLiteral("сервер не принял имя пользователя или пароль");
    else if (t.contains(QLatin1String("database")) && t.contains(QLatin1String("does not exist")))
        reason = QStringLiteral("такой базы данных на сервере нет");
    else if (t.contains(QLatin1String("terminating connection")) || t.contains(QLatin1String("server closed")) ||
             t.contains(QLatin1String("no connection")) || t.contains(QLatin1String("shutting down")))
        reason = QStringLiteral("сервер закрыл соединение");
    if (reason.isEmpty()) return detail.isEmpty() ? QStringLiteral("причина неизвестна") : detail;
    return detail.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, detail);
}

}  // namespace

PgResult::PgResult(pg_result* result) : result_(result, [](pg_result* r) { if (r) PQclear(r); }) {}
int PgResult::rows() const { return result_ ? PQntuples(result_.get()) : 0; }
bool PgResult::isNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }
QString PgResult::text(int row, int column) const {
    return QString::fromUtf8(PQgetvalue(result_.get(), row, column), PQgetlength(result_.get(), row, column));
}
qint64 PgResult::toInt(int row, int column) const { return std::strtoll(PQgetvalue(result_.get(), row, column), nullptr, 10); }
double PgResult::toDouble(int row, int column) const { return std::strtod(PQgetvalue(result_.get(), row, column), nullptr); }
qint64 PgResult::affected() const { return result_ ? std::strtoll(PQcmdTuples(result_.get()), nullptr, 10) : 0; }

QByteArray pgNumber(double value) { return QByteArray::number(value, 'g', 17); }
QByteArray pgNumber(qint64 value) { return QByteArray::number(value); }

PgConnection::PgConnection(const StoreLocation& location, const QString& application)
    : location_(location),
      application_(application),
      name_(QStringLiteral("telvika-pg-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw Error(QStringLiteral("Нет драйвера PostgreSQL для Qt (QPSQL, пакет libqt6sql6-psql): база «%1» недоступна")
                        .arg(location_.display()));
    const QString reason = tryOpen();
    if (!reason.isEmpty()) {
        QSqlDatabase::removeDatabase(name_);
        throw Error(unreachable(reason));
    }
}

PgConnection::~PgConnection() {
    {
        QSqlDatabase d = QSqlDatabase::database(name_, false);
        if (d.isOpen()) d.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QString PgConnection::unreachable(const QString& reason) const {
    const QString db = location_.database.isEmpty() ? qEnvironmentVariable("PGDATABASE") : location_.database;
    return QStringLiteral("Не удалось подключиться к базе данных PostgreSQL «%1» на «%2»: %3")
        .arg(db, location_.serverName(), reason);
}

QString PgConnection::tryOpen() {
    conn_ = nullptr;
    QSqlDatabase d = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    if (d.isOpen()) d.close();
    d.setHostName(location_.host);
    if (location_.port > 0) d.setPort(location_.port);
    d.setDatabaseName(location_.database);
    d.setUserName(location_.user);
    QStringList options{QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutSeconds),
                        QStringLiteral("keepalives=1"), QStringLiteral("keepalives_idle=10"),
                        QStringLiteral("keepalives_interval=5"), QStringLiteral("keepalives_count=3"),
                        QStringLiteral("tcp_user_timeout=20000"), QStringLiteral("application_name=") + application_};
    options += location_.options;
    d.setConnectOptions(options.join(QLatin1Char(';')));
    if (!d.open()) return reasonOf(d.lastError().databaseText() + QLatin1Char(' ') + d.lastError().driverText());
    const QVariant h = d.driver()->handle();
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return QStringLiteral("драйвер не дал соединения libpq (%1)").arg(QLatin1String(h.typeName()));
    conn_ = *static_cast<PGconn* const*>(h.data());
    prepared_.clear();  // a new session knows none of them
    // The server's notices (a session ended by the administrator, ...) reach the user as the
    // failure of the statement they concern, not as stray lines on stderr.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    lost_ = false;
    // Instants cross as UTC; a wait for another session's lock ends with a failure, not a hang. The
    // store's statements are short or stream rows out as stored: compiling them (JIT, which starts
    // at a cost estimate that a month's read or a count of a vehicle's rows passes) takes longer
    // than running them.
    PgResult set(PQexec(conn_, "SET TIME ZONE 'UTC'; SET lock_timeout = '10s'; SET client_min_messages = warning; "
                               "SET jit = off"));
    if (!set.raw() || PQresultStatus(set.raw()) != PGRES_COMMAND_OK)
        return reasonOf(QString::fromUtf8(PQerrorMessage(conn_)));
    return {};
}

void PgConnection::markLost(const QString& reason) {
    lost_ = true;
    lostReason_ = reason;
    retryMs_ = retryMs_ == 0 ? FirstRetryMs : qMin(retryMs_ * 2, LastRetryMs);
    retryAt_ = QDeadlineTimer(retryMs_);
}

pg_conn* PgConnection::handle() {
    if (!lost_) return conn_;
    if (retryAt_.hasExpired()) {
        const QString reason = tryOpen();
        if (reason.isEmpty()) {
            retryMs_ = 0;
            return conn_;
        }
        markLost(reason);
    }
    throw Error(QStringLiteral("Нет связи с базой данных PostgreSQL на «%1»: %2; следующая попытка подключения через %3 с")
                    .arg(location_.serverName(), lostReason_)
                    .arg(qMax<qint64>(1, (retryAt_.remainingTime() + 999) / 1000)));
}

void PgConnection::fail(const QString& what, pg_result* result) {
    const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_)).trimmed();
    sqlState_ = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
    if (!conn_ || PQstatus(conn_) == CONNECTION_BAD) {
        markLost(reasonOf(message));
        throw Error(QStringLiteral("%1: нет связи с базой данных PostgreSQL на «%2»: %3")
                        .arg(what, location_.serverName(), lostReason_));
    }
    throw Error(QStringLiteral("%1: %2").arg(what, message.section(QLatin1Char('\n'), 0, 0)));
}

PgResult PgConnection::exec(const char* sql, const QVector<QByteArray>& params, const QString& what, bool binaryResults) {
    PGconn* c = handle();
    QVector<const char*> values(params.size());
    for (int i = 0; i < params.size(); ++i) values[i] = params[i].isNull() ? nullptr : params[i].constData();
    if (params.isEmpty() && !binaryResults) {
        PgResult result(PQexec(c, sql));
        const ExecStatusType status = result.raw() ? PQresultStatus(result.raw()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(what, result.raw());
        return result;
    }
    const QByteArray text(sql);
    auto name = prepared_.constFind(text);
    if (name == prepared_.constEnd()) {
        const QByteArray newName = "telvika_" + QByteArray::number(prepared_.size() + 1);
        PgResult prepared(PQprepare(c, newName.constData(), sql, static_cast<int>(params.size()), nullptr));
        if (!prepared.raw() || PQresultStatus(prepared.raw()) != PGRES_COMMAND_OK) fail(what, prepared.raw());
        name = prepared_.insert(text, newName);
    }
    PgResult result(PQexecPrepared(c, name->constData(), static_cast<int>(params.size()), values.constData(), nullptr,
                                   nullptr, binaryResults ? 1 : 0));
    const ExecStatusType status = result.raw() ? PQresultStatus(result.raw()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(what, result.raw());
    return result;
}

PgConnection::Transaction::Transaction(PgConnection& connection) : c_(connection) {
    c_.exec("BEGIN", QStringLiteral("Не удалось начать запись в базу данных сервера"));
}

PgConnection::Transaction::~Transaction() {
    // After a loss there is nothing to roll back: the server ended the transaction with the session.
    if (!done_ && !c_.lost_ && c_.conn_) PQclear(PQexec(c_.conn_, "ROLLBACK"));
}

void PgConnection::Transaction::commit() {
    c_.exec("COMMIT", QStringLiteral("Не удалось сохранить изменения в базе данных сервера"));
    done_ = true;
}

}  // namespace telvika::server
