#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QString>
#include <QVector>

#include <memory>

#include "store/StoreLocation.h"

struct pg_conn;
struct pg_result;

namespace telvika::server {

// One result of a statement; its values as text (libpq's text format).
class PgResult {
public:
    explicit PgResult(pg_result* result = nullptr);
    int rows() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    qint64 toInt(int row, int column) const;
    double toDouble(int row, int column) const;
    // Rows a command changed (INSERT, UPDATE).
    qint64 affected() const;
    pg_result* raw() const { return result_.get(); }

private:
    std::shared_ptr<pg_result> result_;
};

// One connection to the PostgreSQL server of a shared store, opened through Qt's QPSQL driver;
// statements run on the libpq connection behind it. A lost connection is not given up: the next
// use after a pause (growing from 1 s to 30 s after each failed attempt) connects again, and uses
// in between fail at once with the reason, so no request waits on a dead database. Connecting waits
// at most a few seconds, and TCP keepalives end a connection to a host that vanished.
class PgConnection {
public:
    static constexpr int ConnectTimeoutSeconds = 3;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 30000;

    // Connects; throws telvika::Error naming the server and the reason when it cannot.
    PgConnection(const StoreLocation& location, const QString& application);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    const StoreLocation& location() const { return location_; }

    // The libpq connection, connected again first when it was lost and the pause is over; throws
    // telvika::Error while the database cannot be reached.
    pg_conn* handle();
    // Runs one statement with text parameters (a null QByteArray is SQL NULL), prepared once per
    // connection when it has parameters (the fleet's small reads are planned once); throws
    // telvika::Error starting with `what` when it fails. With `binaryResults` the values come in
    // the server's binary form (integers big-endian, bytea as stored).
    PgResult exec(const char* sql, const QVector<QByteArray>& params, const QString& what, bool binaryResults = false);
    PgResult exec(const char* sql, const QString& what) { return exec(sql, {}, what); }

    // The failure of the last libpq call as an exception: the connection's loss, or `what` and the
    // server's reason.
    [[noreturn]] void fail(const QString& what, pg_result* result = nullptr);
    // The SQLSTATE of the last failed statement ("23505": a key given twice); empty when unknown.
    QByteArray lastSqlState() const { return sqlState_; }
    // Whether the connection was lost (and is waiting to connect again).
    bool lost() const { return lost_; }

    // Commits when commit() is called, rolls back otherwise.
    class Transaction {
    public:
        explicit Transaction(PgConnection& connection);
        ~Transaction();
        void commit();

    private:
        PgConnection& c_;
        bool done_ = false;
    };

private:
    // Connects (again); the reason when that failed, empty on success.
    QString tryOpen();
    void markLost(const QString& reason);
    QString unreachable(const QString& reason) const;

    StoreLocation location_;
    QString application_;
    QString name_;
    pg_conn* conn_ = nullptr;
    bool lost_ = false;
    int retryMs_ = 0;
    QDeadlineTimer retryAt_;
    QString lostReason_;
    QByteArray sqlState_;
    QHash<QByteArray, QByteArray> prepared_;  // statement text -> its name on this connection
};

// Text forms of values for statement parameters.
QByteArray pgNumber(double value);
QByteArray pgNumber(qint64 value);

}  // namespace telvika::server
