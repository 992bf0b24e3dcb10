#pragma once

namespace telvika::server {

class PgConnection;

// The layout of a shared fleet store in PostgreSQL and its versions. Each version is a list of
// statements; opening runs the versions a database lacks, all in one transaction under a lock that
// other servers starting at the same moment wait for, and records them in schema_version.
//   1: groups, vehicles, control points, server values; telemetry partitioned by month of its
//      instant (timestamptz, UTC), keyed by device and instant, which also serves the reading of
//      one device over one period.
//   2: telemetry in blocks (telemetry_blocks): the points of one device within one UTC hour in one
//      row, still partitioned by month, found by device and first instant.
class PgSchema {
public:
    static constexpr int Version = 2;

    // Brings the database to Version. A database of a newer version is refused with a Russian
    // message and left as it is; a failed step leaves the database as it was.
    static void migrate(PgConnection& connection);
};

}  // namespace telvika::server
