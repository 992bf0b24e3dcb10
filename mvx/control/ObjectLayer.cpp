#include "ObjectLayer.h"

#include "CommandParser.h"
#include "MetricsParser.h"
#include "PointPlacement.h"
#include "StyleParser.h"
#include "core/Projection.h"

#include <QHash>
#include <QLoggingCategory>
#include <QLineF>
#include <QPolygonF>

#include <algorithm>
#include <atomic>
#include <cmath>

Q_LOGGING_CATEGORY(lcMvxObjects, "mvx.objects")

namespace mvx {

namespace {

struct ParsedStyle {
    bool ok = false;
    ObjectStyle style;
    QString error;
};

int findField(const IMapTable& table, const QString& name) {
    for (int i = 0; i < table.FieldCount(); ++i)
        if (table.FieldName(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// A coordinate from a DOUBLE field or from a TEXT field holding a number with '.' as separator.
bool coordinateOf(const QVariant& v, double& out) {
    if (!v.isValid() || v.isNull()) return false;
    bool ok = false;
    out = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    return ok && std::isfinite(out);
}

std::atomic<quint64> geometryCounter{0};

double distanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x() + t * dx - p.x(), ey = a.y() + t * dy - p.y();
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

int ObjectLayer::load(const QString& command, const QString& defaultStyle, const IMapTable& table) {
    lastWarnings_.clear();
    ObjectCommand cmd;
    QString error;
    if (!CommandParser::parse(command, cmd, error)) {
        lastWarnings_ << QStringLiteral("object set not loaded: %1").arg(error);
        qCWarning(lcMvxObjects).noquote() << lastWarnings_.last();
        return -1;
    }

    ObjectSet set;
    set.name = cmd.name;
    set.command = command;
    set.defaultStyle = defaultStyle;

    QHash<QString, int> reasons;  // reason -> records skipped for it
    bool longGeometryUsed = false;  // remembered only from one load to the next
    const int records = table.GetRecordCount();
    const int nameField = findField(table, QStringLiteral("Name"));
    const int styleField = cmd.styleField.isEmpty() ? -1 : findField(table, cmd.styleField);
    const int metricsField =
        cmd.geometry == ObjectCommand::Geometry::Metrics ? findField(table, cmd.metricsField) : -1;
    const int latField = cmd.geometry == ObjectCommand::Geometry::Coords ? findField(table, cmd.latField) : -1;
    const int lonField = cmd.geometry == ObjectCommand::Geometry::Coords ? findField(table, cmd.lonField) : -1;

    QStringList missing;
    if (!cmd.styleField.isEmpty() && styleField < 0) missing << cmd.styleField;
    if (cmd.geometry == ObjectCommand::Geometry::Metrics && metricsField < 0) missing << cmd.metricsField;
    if (cmd.geometry == ObjectCommand::Geometry::Coords && latField < 0) missing << cmd.latField;
    if (cmd.geometry == ObjectCommand::Geometry::Coords && lonField < 0) missing << cmd.lonField;

    if (!missing.isEmpty() && records > 0) {
        reasons.insert(QStringLiteral("no field \"%1\" in the table").arg(missing.join(QStringLiteral("\", \""))), records);
        set.skippedRecords = records;
    } else {
        QHash<QString, ParsedStyle> styleCache;  // the same style text repeats over records
        for (int r = 0; r < records; ++r) {
            auto skip = [&](const QString& reason) {
                ++reasons[reason];
                ++set.skippedRecords;
            };
            MapObject obj;
            obj.styleText = defaultStyle;
            if (styleField >= 0) {
                const QString own = table.FieldValue(r, styleField).toString();
                if (!own.trimmed().isEmpty()) obj.styleText = own;
            }
            if (obj.styleText.trimmed().isEmpty()) {
                skip(QStringLiteral("no style"));
                continue;
            }
            auto cached = styleCache.find(obj.styleText);
            if (cached == styleCache.end()) {
                ParsedStyle parsed;
                parsed.ok = StyleParser::parse(obj.styleText, parsed.style, parsed.error);
                cached = styleCache.insert(obj.styleText, parsed);
            }
            if (!cached->ok) {
                skip(cached->error);
                continue;
            }
            obj.style = cached->style;

            if (cmd.geometry == ObjectCommand::Geometry::Metrics) {
                const QString text = table.FieldValue(r, metricsField).toString();
                // The same text shared by both tables is known without comparing its characters.
                const bool same = !lastLong_.text.isNull() && text.size() == lastLong_.text.size() &&
                                  (text.constData() == lastLong_.text.constData() || text == lastLong_.text);
                if (same) {
                    obj.lonLat = lastLong_.lonLat;
                    obj.merc = lastLong_.merc;
                    obj.mercBounds = lastLong_.mercBounds;
                    obj.geometryId = lastLong_.id;
                    longGeometryUsed = true;
                    if (nameField >= 0) obj.name = table.FieldValue(r, nameField).toString();
                    set.objects.append(std::move(obj));
                    continue;
                }
                if (!MetricsParser::parse(text, obj.lonLat, error)) {
                    skip(error);
                    continue;
                }
                if (obj.lonLat.size() >= SharedFromPoints) {
                    lastLong_.text = text;
                    longGeometryUsed = true;
                }
            } else {
                double lat = 0, lon = 0;
                if (!coordinateOf(table.FieldValue(r, latField), lat) ||
                    !coordinateOf(table.FieldValue(r, lonField), lon)) {
                    skip(QStringLiteral("missing or non-finite coordinates"));
                    continue;
                }
                if (std::fabs(lat) > 90.0 || std::fabs(lon) > 360.0) {
                    skip(QStringLiteral("coordinates out of range"));
                    continue;
                }
                obj.lonLat = {QPointF(lon, lat)};
            }
            if (nameField >= 0) obj.name = table.FieldValue(r, nameField).toString();

            obj.merc.reserve(obj.lonLat.size());
            double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
            for (const QPointF& p : std::as_const(obj.lonLat)) {
                const QPointF m = lonLatToMercator(p.x(), p.y());
                obj.merc.append(m);
                minX = std::min(minX, m.x());
                maxX = std::max(maxX, m.x());
                minY = std::min(minY, m.y());
                maxY = std::max(maxY, m.y());
            }
            obj.mercBounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
            obj.geometryId = ++geometryCounter;
            if (obj.lonLat.size() >= SharedFromPoints && cmd.geometry == ObjectCommand::Geometry::Metrics) {
                lastLong_.lonLat = obj.lonLat;
                lastLong_.merc = obj.merc;
                lastLong_.mercBounds = obj.mercBounds;
                lastLong_.id = obj.geometryId;
            }
            set.objects.append(std::move(obj));
        }
    }

    if (!longGeometryUsed) lastLong_ = LongGeometry();

    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it) {
        lastWarnings_ << QStringLiteral("object set \"%1\": %2 record(s) skipped: %3").arg(set.name).arg(it.value()).arg(it.key());
        qCWarning(lcMvxObjects).noquote() << lastWarnings_.last();
    }

    const int count = static_cast<int>(set.objects.size());
    auto existing = std::find_if(sets_.begin(), sets_.end(), [&](const ObjectSet& s) { return s.name == set.name; });
    if (existing != sets_.end())
        *existing = std::move(set);
    else
        sets_.append(std::move(set));
    return count;
}

QStringList ObjectLayer::names() const {
    QStringList out;
    for (const auto& s : sets_) out << s.name;
    return out;
}

const ObjectSet* ObjectLayer::find(const QString& name) const {
    for (const auto& s : sets_)
        if (s.name == name) return &s;
    return nullptr;
}

ObjectSetInfo ObjectLayer::info(const QString& name) const {
    ObjectSetInfo out;
    const ObjectSet* s = find(name);
    if (!s) return out;
    out.name = s->name;
    out.command = s->command;
    out.defaultStyle = s->defaultStyle;
    out.skippedRecords = s->skippedRecords;
    for (const auto& o : s->objects) out.records.append({o.style.kindName(), o.lonLat, o.styleText, o.name});
    return out;
}

QString ObjectLayer::nameAt(const MapView& view, const QPointF& pixel, const PointPlacement* placement) const {
    const QPointF m = view.screenToMerc(pixel);
    const double mpp = view.mercatorPerPixel();
    for (auto s = sets_.crbegin(); s != sets_.crend(); ++s) {
        for (auto o = s->objects.crbegin(); o != s->objects.crend(); ++o) {
            if (o->name.isEmpty() || o->merc.isEmpty()) continue;
            const ObjectStyle& st = o->style;
            if (st.isPointStyle()) {
                const QPointF c = view.mercToScreen(o->merc.first()) + (st.kind == StyleKind::Box ? QPointF(st.offset) : QPointF()) +
                                  (placement ? placement->offset(*o) : QPointF());
                const double r = st.kind == StyleKind::Icon ? st.iconSize / 2.0 : 8.0;
                if (std::fabs(pixel.x() - c.x()) <= r && std::fabs(pixel.y() - c.y()) <= r) return o->name;
                continue;
            }
            const double tolerancePx = st.width / 2.0 + 3.0;
            const double tol = tolerancePx * mpp;
            if (!o->mercBounds.adjusted(-tol, -tol, tol, tol).contains(m)) continue;
            if (st.kind == StyleKind::Area && o->merc.size() >= 3) {
                if (QPolygonF(o->merc).containsPoint(m, Qt::OddEvenFill)) return o->name;
                continue;
            }
            if (o->merc.size() == 1) {
                if (QLineF(m, o->merc.first()).length() <= tol) return o->name;
                continue;
            }
            for (int i = 1; i < o->merc.size(); ++i)
                if (distanceToSegment(m, o->merc[i - 1], o->merc[i]) <= tol) return o->name;
        }
    }
    return QString();
}

}  // namespace mvx
