#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// Runs the rest of a scope with the process's local zone set to another TZ, restoring it after.
class ZoneScope {
public:
    explicit ZoneScope(const QByteArray& zone) : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope() {
        if (had_) qputenv("TZ", old_);
        else qunsetenv("TZ");
        tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    bool had_;
    QByteArray old_;
};
