#pragma once

#include <QString>

namespace telvika::tracking {

// The server's entry-list selector of an information-point kind: a type alone ("parks") or a type
// and a kind joined by "-" ("tank-num1"). Without a "-" the kind is not named and the server keeps
// the kind it has.
struct TEntriesQuery {
    QString type;
    QString kind;
    bool hasKind = false;
};

TEntriesQuery splitEntriesQuery(const QString& query);

}  // namespace telvika::tracking
