#pragma once

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QString>

#include <memory>

#include "net/ComputedResult.h"
#include "store/StoreRecords.h"

namespace telvika::server {

class ServerCore;

// The cursors of one client connection and the operations that read and move them. Lists are
// cursors: writing a 1-based index answers with that item's whole record, and the item's values can
// also be read one by one. Every failure throws telvika::Error with a Russian message; a failed
// write leaves the cursor where it was.
class ClientSession {
public:
    explicit ClientSession(ServerCore& core);

    // Runs one operation (not "Hello", which the connection handles). A numeric array result goes
    // to *bytes (little-endian doubles) and the returned value is then an empty byte string.
    QCborValue handle(const QString& op, const QCborArray& args, QByteArray* bytes);

private:
    QCborValue read(const QString& property, QByteArray* bytes);

    QCborMap groupRecord();
    QCborMap carRecord();
    QCborMap tripRecord();
    QCborMap entryRecord();
    QCborMap controlPointRecord();
    QCborValue propertyValue();

    const Trip& currentTrip();
    QString entryKey() const;
    const QVector<TripEntry>& currentEntries();
    QVector<ControlPoint> currentControlPoints();
    QVector<VehicleRecord> selectedGroupCars();

    void startComputing(const QCborArray& args);

    ServerCore& core_;
    // The last finished computation, taken at the start of each operation.
    std::shared_ptr<const ComputedResult> result_;
    int groupIndex_ = 0;
    int carIndex_ = 0;
    QString selectedGroupId_;
    int selectedCarId_ = 0;
    int tripIndex_ = 0;
    QString entriesType_;
    QString entriesKind_;
    int entryIndex_ = 0;
    QString controlPointsName_;
    int controlPointIndex_ = 0;
    QString propertyName_;
};

}  // namespace telvika::server
