#include "tracking/EntriesQuery.h"

namespace telvika::tracking {

TEntriesQuery splitEntriesQuery(const QString& query) {
    TEntriesQuery q;
    const qsizetype dash = query.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        q.type = query;
        return q;
    }
    q.type = query.left(dash);
    q.kind = query.mid(dash + 1);
    q.hasKind = true;
    return q;
}

}  // namespace telvika::tracking
