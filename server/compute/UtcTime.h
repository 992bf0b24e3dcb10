#pragma once

#include <QtGlobal>

namespace telvika::server {

// Instants inside the server are UTC on the OLE day scale: days since 1899-12-30 00:00 UTC. The
// difference of two instants is then a true duration, whatever clock changes the user's zone has.
// The store keeps instants as seconds since 1970-01-01 00:00 UTC; the user's local OLE dates exist
// only where values cross the wire (requests in, replies out).
inline constexpr double UnixEpochDay = 25569.0;  // 1970-01-01 on the OLE day scale

inline double utcFromEpochSeconds(double seconds) { return seconds / 86400.0 + UnixEpochDay; }
inline double epochSecondsFromUtc(double utc) { return (utc - UnixEpochDay) * 86400.0; }
// Seconds since the epoch as the store keeps them: to the millisecond, so that the same instant
// always gives the same stored value.
double storedSeconds(double utc);

// The current instant.
double utcNow();

// Offset of the user's local clock from UTC at an instant, in seconds (east positive).
int localOffsetSeconds(double utc);

// The user's local OLE date of an instant. Across the autumn clock change the local dates repeat
// an hour, as the user's clock did.
double localOleFromUtc(double utc);

// The instant of a local OLE date. A local time that occurs twice (the repeated hour in autumn)
// gives the earlier or the later instant as asked; one that never occurs (the skipped hour in
// spring) gives the instant the clock showed that many minutes after the change.
enum class RepeatedHour { Earlier, Later };
double utcFromLocalOle(double local, RepeatedHour pick = RepeatedHour::Earlier);

// Converts many instants in time order to local OLE dates quickly: the offset is looked up once per
// quarter of an hour (clock changes happen on whole quarters of an hour).
class LocalTimeConverter {
public:
    double toLocal(double utc);

private:
    qint64 bucket_ = -1;
    int offset_ = 0;
    bool valid_ = false;
};

}  // namespace telvika::server
