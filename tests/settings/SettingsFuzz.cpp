#include "SettingsFuzz.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "common/Error.h"
#include "settings/SettingsDocument.h"
#include "settings/SettingsFile.h"

using namespace telvika;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

bool sameKind(const TInfoPoints& a, const TInfoPoints& b) {
    return a.name == b.name && a.query == b.query && bool(a.VisibleList) == bool(b.VisibleList) &&
           bool(a.VisibleIcon) == bool(b.VisibleIcon) && a.Icon == b.Icon;
}

bool sameValues(const TSettingsValues& a, const TSettingsValues& b) {
    if (a.LoadKT != b.LoadKT || a.LoadIT != b.LoadIT || a.GroupID != b.GroupID || a.IconNum != b.IconNum ||
        a.CarID != b.CarID || a.DateTimeBegin != b.DateTimeBegin || a.DateTimeEnd != b.DateTimeEnd ||
        a.Speed != b.Speed || a.Stops != b.Stops || a.Cont != b.Cont || a.InfoPoints.size() != b.InfoPoints.size())
        return false;
    for (int i = 0; i < a.InfoPoints.size(); ++i)
        if (!sameKind(a.InfoPoints[i], b.InfoPoints[i])) return false;
    return true;
}

// Every read the window makes at start-up, in its order; false at the first value that fails.
bool readAll(const TSettingsReader& r, TSettingsValues& v) {
    try {
        v.LoadKT = r.boolean(QStringLiteral("LoadKT"));
        v.LoadIT = r.boolean(QStringLiteral("LoadIT"));
        v.IconNum = r.integer(QStringLiteral("IconNum"));
        v.GroupID = r.integer(QStringLiteral("GroupID"));
        v.CarID = r.integer(QStringLiteral("CarID"));
        v.DateTimeBegin = r.dateTime(QStringLiteral("DateTimeBegin"));
        v.DateTimeEnd = r.dateTime(QStringLiteral("DateTimeEnd"));
        r.speed();
        v.Speed = r.text(QStringLiteral("Speed"));
        v.Stops = r.boolean(QStringLiteral("Stops"));
        v.Cont = r.text(QStringLiteral("Cont"));
        const int n = r.kindCount();
        if (n < 0) fail("negative kind count");
        v.InfoPoints.clear();
        for (int i = 1; i <= n; ++i) v.InfoPoints.push_back(r.kind(i));
        // The reader's own all() agrees with the reads one by one.
        if (!sameValues(r.all(), v)) fail("all() differs from the single reads");
        return true;
    } catch (const Error& e) {
        if (e.message().isEmpty()) fail("an error without a message");
        return false;
    }
}

int run(const QByteArray& bytes) {
    QDomDocument doc;
    try {
        doc = parseSettingsDocument(bytes, QStringLiteral("TVSettings.xml"));
    } catch (const Error&) {
        return 0;
    }
    QDomElement settings;
    try {
        settings = settingsElementOf(doc);
    } catch (const Error&) {
        return 0;
    }
    TSettingsValues values;
    const bool complete = readAll(TSettingsReader(settings), values);
    if (!complete) values = defaultSettingsValues();

    // The save of the window: the values into the document's own Settings element, then the bytes.
    writeSettingsValues(doc, settings, values);
    const QByteArray saved = serializeSettingsDocument(doc);
    QDomDocument again;
    try {
        again = parseSettingsDocument(saved, QStringLiteral("TVSettings.xml"));
    } catch (const Error& e) {
        fail(qPrintable(QStringLiteral("a saved document does not parse: ") + e.message()));
    }
    TSettingsValues back;
    try {
        if (!readAll(TSettingsReader(settingsElementOf(again)), back)) fail("a saved value does not read back");
    } catch (const Error& e) {
        fail(qPrintable(QStringLiteral("a saved document has no Settings: ") + e.message()));
    }
    if (!sameValues(values, back)) {
        for (int i = 0; i < values.InfoPoints.size() && i < back.InfoPoints.size(); ++i)
            if (!sameKind(values.InfoPoints[i], back.InfoPoints[i]))
                std::fprintf(stderr, "kind %d: \"%s\" became \"%s\"\n", i + 1,
                             qPrintable(values.InfoPoints[i].name), qPrintable(back.InfoPoints[i].name));
        std::fprintf(stderr, "Speed \"%s\"/\"%s\", Cont \"%s\"/\"%s\"\n", qPrintable(values.Speed),
                     qPrintable(back.Speed), qPrintable(values.Cont), qPrintable(back.Cont));
        fail("saved values read back differently");
    }
    return complete ? 2 : 1;
}

}  // namespace

int runSettingsFuzzInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        return run(bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "settings fuzz: unexpected exception: %s\n", e.what());
        std::abort();
    }
}
