#include "store/postgres/PgTelemetry.h"

#include <QScopeGuard>
#include <QtEndian>

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>

#include "common/Error.h"
#include "store/postgres/PgBlocks.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server::pgtelemetry {

using namespace pgblocks;

namespace {

constexpr char CopySignature[] = "PGCOPY\n\377\r\n";  // and its terminating zero: 11 bytes

// Reads the blocks of a binary COPY (count, points) from a stream of chunks and decodes the points
// of the period. libpq hands over one row a chunk: rows are parsed where they lie, and only a row
// cut between chunks waits in the buffer for the rest.
class BlockReader {
public:
    BlockReader(qint64 from, qint64 to, QVector<TelemetryPoint>& out) : from_(from), to_(to), out_(out) {}

    // Takes a chunk; false when the stream or a block is malformed (problem() says how).
    bool feed(const char* data, int size) {
        if (buffer_.isEmpty()) {
            const qsizetype used = parse(data, size);
            if (used < 0) return false;
            buffer_.append(data + used, size - used);
            return true;
        }
        buffer_.append(data, size);
        const qsizetype used = parse(buffer_.constData(), buffer_.size());
        if (used < 0) return false;
        buffer_.remove(0, used);
        return true;
    }
    // Whether the trailer came, with nothing after it.
    bool ended() const { return ended_ && buffer_.isEmpty(); }
    const QString& problem() const { return problem_; }

private:
    qsizetype malformed() {
        if (problem_.isEmpty()) problem_ = QStringLiteral("сервер базы данных прислал строки в непонятном виде");
        return -1;
    }

    // Parses the whole rows at the start of `data`; the bytes taken, or -1 when malformed.
    qsizetype parse(const char* data, qsizetype size) {
        qsizetype at = 0;
        if (!headerDone_) {
            if (size < 19) return 0;
            if (std::memcmp(data, CopySignature, 11) != 0) return malformed();
            const qint32 extension = qFromBigEndian<qint32>(data + 15);
            if (extension < 0) return malformed();
            if (size < 19 + qsizetype(extension)) return 0;
            at = 19 + extension;
            headerDone_ = true;
        }
        while (!ended_) {
            if (size - at < 2) break;
            const qint16 fields = qFromBigEndian<qint16>(data + at);
            if (fields == -1) {
                ended_ = true;
                at += 2;
                break;
            }
            if (fields != 2) return malformed();
            // count: int4; points: bytea
            if (size - at < 2 + 4 + 4 + 4) break;
            if (qFromBigEndian<qint32>(data + at + 2) != 4) return malformed();
            const qint32 count = qFromBigEndian<qint32>(data + at + 6);
            const qint32 length = qFromBigEndian<qint32>(data + at + 10);
            if (length < 0) return malformed();
            if (size - at - 14 < length) break;
            const QString why = decode(data + at + 14, length, count, from_, to_, out_);
            if (!why.isEmpty()) {
                problem_ = why;
                return -1;
            }
            at += 14 + length;
        }
        return at;
    }

    qint64 from_, to_;
    QVector<TelemetryPoint>& out_;
    QByteArray buffer_;
    QString problem_;
    bool headerDone_ = false;
    bool ended_ = false;
};

}  // namespace

QVector<TelemetryPoint> read(PgConnection& c, int device, double beginSeconds, double endSeconds) {
    const QString what = QStringLiteral("Не удалось прочитать телеметрию");
    PGconn* conn = c.handle();
    // Blocks in the order of their first instants, in a read-only transaction of the read's own
    // (sent with it in one message) unless the caller has one open. A block lies within one hour:
    // the first instant of one that reaches the period is at most an hour before it, which bounds
    // the index scan from below.
    const QString from = instantLiteral(beginSeconds), to = instantLiteral(endSeconds);
    const QByteArray sql = QStringLiteral("COPY (SELECT count, points FROM telemetry_blocks WHERE device = %1 AND "
                                          "first >= timestamptz '%2' - interval '1 hour' AND first <= '%3' AND last >= '%2' "
                                          "ORDER BY first) TO STDOUT (FORMAT binary)")
                               .arg(device)
                               .arg(from, to)
                               .toUtf8();
    const bool own = PQtransactionStatus(conn) == PQTRANS_IDLE;
    const auto rollBack = qScopeGuard([&] {
        if (own && !c.lost() && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
            PQclear(PQexec(conn, "ROLLBACK"));
    });
    {
        PgResult copy(PQexec(conn, own ? ("BEGIN READ ONLY; " + sql + "; COMMIT").constData() : sql.constData()));
        if (!copy.raw() || PQresultStatus(copy.raw()) != PGRES_COPY_OUT) c.fail(what, copy.raw());
    }
    QVector<TelemetryPoint> out;
    BlockReader reader(boundMicros(beginSeconds), boundMicros(endSeconds), out);
    bool understood = true;
    int last;
    char* chunk = nullptr;
    while ((last = PQgetCopyData(conn, &chunk, 0)) > 0) {
        if (understood && !reader.feed(chunk, last)) understood = false;
        PQfreemem(chunk);
    }
    if (last == -2) c.fail(what);
    // The COPY's completion and that of the statements sent after it in the same message.
    PgResult failed;
    while (PGresult* r = PQgetResult(conn)) {
        PgResult result(r);
        if (failed.raw() == nullptr && PQresultStatus(r) != PGRES_COMMAND_OK) failed = result;
    }
    if (failed.raw()) c.fail(what, failed.raw());
    if (!understood || !reader.ended())
        throw Error(QStringLiteral("%1 устройства %2: %3")
                        .arg(what)
                        .arg(device)
                        .arg(reader.problem().isEmpty() ? QStringLiteral("сервер базы данных прислал строки в непонятном виде")
                                                        : reader.problem()));
    // Blocks of one hour written at different times may interleave.
    const auto earlier = [](const TelemetryPoint& a, const TelemetryPoint& b) { return a.time < b.time; };
    if (!std::is_sorted(out.begin(), out.end(), earlier)) std::sort(out.begin(), out.end(), earlier);
    return out;
}

}  // namespace telvika::server::pgtelemetry
