#include "chart/ChartReader.h"

#include "chart/ChartStyle.h"
#include "chart/FeatureClassifier.h"
#include "chart/GdalWarningFilter.h"
#include "chart/OtherTags.h"
#include "core/Projection.h"

#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <cmath>
#include <mutex>
#include <new>

namespace mvx {

namespace {

constexpr const char* OtherTagsColumn = "other_tags";

struct GdalDatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};

// The field positions of one layer's tag columns.
struct LayerColumns {
    std::array<int, FeatureTags::KeyCount> tag{};
    int otherTags = -1;
    bool drawable = false;
};

LayerColumns columnsOf(OGRLayer& layer) {
    LayerColumns c;
    OGRFeatureDefn* defn = layer.GetLayerDefn();
    bool anyTag = false;
    for (int k = 0; k < FeatureTags::KeyCount; ++k) {
        c.tag[static_cast<size_t>(k)] = defn->GetFieldIndex(FeatureTags::keyNames[static_cast<size_t>(k)]);
        if (k != FeatureTags::Name && c.tag[static_cast<size_t>(k)] >= 0) anyTag = true;
    }
    c.otherTags = defn->GetFieldIndex(OtherTagsColumn);
    c.drawable = layer.GetGeomType() != wkbNone && defn->GetGeomFieldCount() > 0 && (anyTag || c.otherTags >= 0);
    return c;
}

// Reads only the columns we use.
void ignoreOtherColumns(OGRLayer& layer, const LayerColumns& c) {
    OGRFeatureDefn* defn = layer.GetLayerDefn();
    CPLStringList ignored;
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        bool used = i == c.otherTags;
        for (int t : c.tag) used = used || t == i;
        if (!used) ignored.AddString(defn->GetFieldDefn(i)->GetNameRef());
    }
    ignored.AddString("OGR_STYLE");
    layer.SetIgnoredFields(const_cast<const char**>(ignored.List()));
}

// Damaged or foreign data can hold any number; only real longitudes and latitudes are kept.
bool onEarth(double lon, double lat) {
    return std::isfinite(lon) && std::isfinite(lat) && std::abs(lon) <= 360.0 && std::abs(lat) <= 90.0;
}

// Transforms layer coordinates to longitude/latitude, or nothing when they already are.
class LayerProjection {
public:
    explicit LayerProjection(const OGRSpatialReference* srs) {
        if (srs == nullptr) return;
        const char* auth = srs->GetAuthorityName(nullptr);
        const char* code = srs->GetAuthorityCode(nullptr);
        if (auth != nullptr && code != nullptr && EQUAL(auth, "EPSG") && EQUAL(code, "4326")) return;
        OGRSpatialReference source(*srs);
        source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference wgs84;
        wgs84.SetWellKnownGeogCS("WGS84");
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        transform_.reset(OGRCreateCoordinateTransformation(&source, &wgs84));
        valid_ = transform_ != nullptr;
    }
    bool valid() const { return valid_; }
    // Appends the Mercator points of a run of layer coordinates; non-finite points are skipped.
    void project(std::vector<double>& xs, std::vector<double>& ys, std::vector<QPointF>& out) const {
        out.clear();
        if (transform_) {
            std::vector<int> ok(xs.size(), 0);
            if (!transform_->Transform(static_cast<int>(xs.size()), xs.data(), ys.data(), nullptr, ok.data()))
                return;
            for (size_t i = 0; i < xs.size(); ++i)
                if (ok[i] && onEarth(xs[i], ys[i])) out.push_back(lonLatToMercator(xs[i], ys[i]));
            return;
        }
        for (size_t i = 0; i < xs.size(); ++i)
            if (onEarth(xs[i], ys[i])) out.push_back(lonLatToMercator(xs[i], ys[i]));
    }

private:
    std::unique_ptr<OGRCoordinateTransformation> transform_;
    bool valid_ = true;
};

FeatureShape shapeOf(OGRwkbGeometryType type, bool& known) {
    known = true;
    switch (wkbFlatten(type)) {
        case wkbPoint:
        case wkbMultiPoint:
            return FeatureShape::Point;
        case wkbLineString:
        case wkbMultiLineString:
            return FeatureShape::Line;
        case wkbPolygon:
        case wkbMultiPolygon:
            return FeatureShape::Area;
        default:
            known = false;
            return FeatureShape::Point;
    }
}

// Collects the point runs of a geometry of a simple type (rings of polygons, pieces of lines).
class GeometryWalker {
public:
    GeometryWalker(Chart& chart, const LayerProjection& projection) : chart_(chart), projection_(projection) {}

    void addCurve(const OGRSimpleCurve& curve, Chart::Ring ring = Chart::Ring::None) {
        const int n = curve.getNumPoints();
        if (n <= 0) return;
        xs_.resize(static_cast<size_t>(n));
        ys_.resize(static_cast<size_t>(n));
        curve.getPoints(xs_.data(), sizeof(double), ys_.data(), sizeof(double));
        flush(ring);
    }
    void addPoint(const OGRPoint& p) {
        if (p.IsEmpty()) return;
        xs_.assign(1, p.getX());
        ys_.assign(1, p.getY());
        flush();
    }
    void add(const OGRGeometry& g) {
        switch (wkbFlatten(g.getGeometryType())) {
            case wkbPoint:
                addPoint(*g.toPoint());
                break;
            case wkbLineString:
                addCurve(*g.toLineString());
                break;
            case wkbPolygon: {
                // The first ring is the outline, the others are holes in it.
                Chart::Ring role = Chart::Ring::Outer;
                for (const OGRLinearRing* ring : *g.toPolygon()) {
                    addCurve(*ring, role);
                    role = Chart::Ring::Hole;
                }
                break;
            }
            case wkbMultiPoint:
            case wkbMultiLineString:
            case wkbMultiPolygon:
            case wkbGeometryCollection:
                for (const OGRGeometry* member : *g.toGeometryCollection())
                    if (member != nullptr) add(*member);
                break;
            default:
                break;
        }
    }

private:
    void flush(Chart::Ring ring = Chart::Ring::None) {
        projection_.project(xs_, ys_, merc_);
        chart_.addPart(merc_, ring);
    }
    Chart& chart_;
    const LayerProjection& projection_;
    std::vector<double> xs_, ys_;
    std::vector<QPointF> merc_;
};

// Reads one feature's tags, column first, other_tags second (other_tags is read whole, for the
// house numbers too).
void readTags(OGRFeature& f, const LayerColumns& c, OtherTags& other, FeatureTags& tags) {
    tags.clear();
    other = OtherTags();
    if (c.otherTags >= 0 && f.IsFieldSetAndNotNull(c.otherTags)) other = OtherTags::parse(f.GetFieldAsString(c.otherTags));
    for (int k = 0; k < FeatureTags::KeyCount; ++k) {
        const int col = c.tag[static_cast<size_t>(k)];
        if (col >= 0 && f.IsFieldSetAndNotNull(col)) {
            const char* v = f.GetFieldAsString(col);
            if (v != nullptr && *v != '\0') {
                tags.set(static_cast<FeatureTags::Key>(k), v);
                continue;
            }
        }
        if (c.otherTags < 0) continue;
        tags.set(static_cast<FeatureTags::Key>(k), other.value(FeatureTags::keyNames[static_cast<size_t>(k)]));
    }
}

QString utf8(std::string_view v) { return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size())); }

// A house number of an address point or a building, kept at the centre of its bounds.
void readAddress(const OGRGeometry& geom, const OtherTags& other, const LayerProjection& projection, Chart& chart) {
    const std::string_view number = other.value("addr:housenumber");
    if (number.empty()) return;
    OGREnvelope env;
    geom.getEnvelope(&env);
    std::vector<double> xs{(env.MinX + env.MaxX) / 2.0}, ys{(env.MinY + env.MaxY) / 2.0};
    std::vector<QPointF> at;
    projection.project(xs, ys, at);
    if (!at.empty()) chart.addAddress(at.front(), utf8(other.value("addr:street")), utf8(number));
}

void readLayer(OGRLayer& layer, const LayerColumns& columns, const LayerProjection& projection, Chart& chart) {
    ignoreOtherColumns(layer, columns);
    GeometryWalker walker(chart, projection);
    FeatureTags tags;
    OtherTags other;
    layer.ResetReading();
    for (auto& feature : layer) {
        const OGRGeometry* geom = feature->GetGeometryRef();
        if (geom == nullptr || geom->IsEmpty()) continue;
        std::unique_ptr<OGRGeometry> linear;
        if (geom->hasCurveGeometry()) {
            linear.reset(geom->getLinearGeometry());
            if (!linear) continue;
            geom = linear.get();
        }
        bool known = false;
        OGRwkbGeometryType type = geom->getGeometryType();
        if (wkbFlatten(type) == wkbGeometryCollection) {
            const auto* gc = geom->toGeometryCollection();
            if (gc->getNumGeometries() == 0 || gc->getGeometryRef(0) == nullptr) continue;
            type = gc->getGeometryRef(0)->getGeometryType();
        }
        FeatureShape shape = shapeOf(type, known);
        if (!known) continue;
        readTags(*feature, columns, other, tags);
        readAddress(*geom, other, projection, chart);
        const FeatureKind kind = FeatureClassifier::classify(tags, shape);
        if (kind == FeatureKind::None) continue;
        // Names of labelled kinds, and of every road: the place of a position names its street.
        const bool named = ChartStyle::of(kind).labelMaxScale > 0 || isRoad(kind);
        const QString name = named ? utf8(tags.get(FeatureTags::Name)) : QString();
        if (isPlace(kind) && shape == FeatureShape::Area) {
            // A place mapped as an area is labelled at its centre.
            OGREnvelope env;
            geom->getEnvelope(&env);
            OGRPoint centre((env.MinX + env.MaxX) / 2.0, (env.MinY + env.MaxY) / 2.0);
            chart.beginFeature(kind, FeatureShape::Point, name);
            walker.addPoint(centre);
        } else {
            chart.beginFeature(kind, shape, name);
            walker.add(*geom);
        }
        chart.endFeature();
    }
}

std::once_flag gdalRegistered;

}  // namespace

ChartReader::Result ChartReader::read(const QString& gdalPath, const char* driverName, const ChartLimits& limits) {
    Result result;
    try {
        auto chart = std::make_unique<Chart>(limits);
        result.code = readInto(gdalPath, driverName, *chart, result.error);
        if (result.code == ChartLoaded) {
            chart->finish();
            result.chart = std::move(chart);
        }
    } catch (const ChartTooLarge& e) {
        result.code = ChartSystemError;
        result.error = QString::fromUtf8(e.what());
    } catch (const std::bad_alloc&) {
        result.code = ChartSystemError;
        result.error = QStringLiteral("out of memory");
    } catch (const std::exception& e) {
        result.code = ChartSystemError;
        result.error = QString::fromUtf8(e.what());
    }
    return result;
}

int ChartReader::readInto(const QString& gdalPath, const char* driverName, Chart& chart, QString& error) {
    std::call_once(gdalRegistered, [] { GDALAllRegister(); });
    GdalWarningFilter filter;
    if (GDALGetDriverByName(driverName) == nullptr) {
        error = QStringLiteral("GDAL driver %1 is not available").arg(QString::fromUtf8(driverName));
        return ChartSystemError;
    }
    const QByteArray path = gdalPath.toUtf8();
    const char* const drivers[] = {driverName, nullptr};
    std::unique_ptr<GDALDataset, GdalDatasetCloser> ds(GDALDataset::FromHandle(
        GDALOpenEx(path.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
    if (!ds) {
        error = filter.failed() ? filter.firstFailure() : QStringLiteral("not a GeoPackage");
        return ChartInvalidFile;
    }
    int drawable = 0;
    for (OGRLayer* layer : ds->GetLayers()) {
        if (layer == nullptr) continue;
        const LayerColumns columns = columnsOf(*layer);
        if (!columns.drawable) continue;
        const LayerProjection projection(layer->GetSpatialRef());
        if (!projection.valid()) {
            // A coordinate system that cannot be turned into longitude and latitude: the layer
            // cannot be placed on the map, which is no fault of the file.
            filter.clearFailures();
            continue;
        }
        ++drawable;
        readLayer(*layer, columns, projection, chart);
    }
    if (filter.failed()) {
        error = filter.firstFailure();
        return ChartInvalidFile;
    }
    if (drawable == 0) {
        error = QStringLiteral("no drawable layer");
        return ChartNoDrawableLayer;
    }
    return ChartLoaded;
}

}  // namespace mvx
