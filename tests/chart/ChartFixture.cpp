#include "ChartFixture.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QFile>

#include <memory>

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

const char* const kLayerNames[] = {"points", "lines", "multipolygons"};
const QStringList kColumns[] = {
    {"name", "highway", "place"},
    {"name", "highway", "waterway", "railway"},
    {"name", "building", "landuse", "natural", "leisure", "amenity", "place"},
};
const OGRwkbGeometryType kTypes[] = {wkbPoint, wkbLineString, wkbMultiPolygon};

Dataset createGpkg(const QString& path) {
    GDALAllRegister();
    QFile::remove(path);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    if (driver == nullptr) return nullptr;
    CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
    Dataset ds(driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr));
    CPLPopErrorHandler();
    return ds;
}

QString escapeHstore(const QString& s) {
    QString out = s;
    out.replace("\\", "\\\\").replace("\"", "\\\"");
    return out;
}

}  // namespace

void ChartFixture::addPoint(const QPointF& lonLat, const Tags& tags) { items_.append({0, {Ring{lonLat}}, tags}); }
void ChartFixture::addLine(const QList<QPointF>& lonLat, const Tags& tags) { items_.append({1, {lonLat}, tags}); }
void ChartFixture::addArea(const QList<Ring>& rings, const Tags& tags) { items_.append({2, rings, tags}); }

bool ChartFixture::write(const QString& path, QString* error) const {
    Dataset ds = createGpkg(path);
    if (!ds) {
        if (error) *error = "cannot create " + path;
        return false;
    }
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layers[3];
    for (int l = 0; l < 3; ++l) {
        layers[l] = ds->CreateLayer(kLayerNames[l], &wgs84, kTypes[l], nullptr);
        if (layers[l] == nullptr) return false;
        // Typed columns the layer does not have by default are added to it.
        QStringList columns = kColumns[l];
        for (auto it = columnTypes_.begin(); it != columnTypes_.end(); ++it)
            if (!columns.contains(it.key())) columns << it.key();
        for (const QString& c : columns) {
            const ColumnType type = columnTypes_.value(c, ColumnType::Text);
            OGRFieldDefn fd(c.toUtf8().constData(), type == ColumnType::Integer ? OFTInteger
                                                     : type == ColumnType::Real  ? OFTReal
                                                                                 : OFTString);
            layers[l]->CreateField(&fd);
        }
        OGRFieldDefn other("other_tags", OFTString);
        layers[l]->CreateField(&other);
    }
    for (const Item& item : items_) {
        OGRLayer* layer = layers[item.layer];
        OGRFeature feature(layer->GetLayerDefn());
        QStringList extra;
        for (auto it = item.tags.begin(); it != item.tags.end(); ++it) {
            if (kColumns[item.layer].contains(it.key()) || columnTypes_.contains(it.key())) {
                const QByteArray column = it.key().toUtf8();
                switch (columnTypes_.value(it.key(), ColumnType::Text)) {
                    case ColumnType::Integer: feature.SetField(column.constData(), it.value().toInt()); break;
                    case ColumnType::Real: feature.SetField(column.constData(), it.value().toDouble()); break;
                    case ColumnType::Text: feature.SetField(column.constData(), it.value().toUtf8().constData()); break;
                }
            }
            else
                extra << QString("\"%1\"=>\"%2\"").arg(escapeHstore(it.key()), escapeHstore(it.value()));
        }
        if (!extra.isEmpty()) feature.SetField("other_tags", extra.join(',').toUtf8().constData());
        if (item.layer == 0) {
            feature.SetGeometry(std::make_unique<OGRPoint>(item.geometry[0][0].x(), item.geometry[0][0].y()).get());
        } else if (item.layer == 1) {
            OGRLineString line;
            for (const QPointF& p : item.geometry[0]) line.addPoint(p.x(), p.y());
            feature.SetGeometry(&line);
        } else {
            OGRPolygon polygon;
            for (const Ring& r : item.geometry) {
                OGRLinearRing ring;
                for (const QPointF& p : r) ring.addPoint(p.x(), p.y());
                ring.closeRings();
                polygon.addRing(&ring);
            }
            OGRMultiPolygon multi;
            multi.addGeometry(&polygon);
            feature.SetGeometry(&multi);
        }
        if (layer->CreateFeature(&feature) != OGRERR_NONE) {
            if (error) *error = "cannot write a feature";
            return false;
        }
    }
    return true;
}

bool ChartFixture::writeUntagged(const QString& path) {
    Dataset ds = createGpkg(path);
    if (!ds) return false;
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    OGRLayer* layer = ds->CreateLayer("survey", &wgs84, wkbLineString, nullptr);
    if (layer == nullptr) return false;
    OGRFieldDefn fd("description", OFTString);
    layer->CreateField(&fd);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("description", "x");
    OGRLineString line;
    line.addPoint(37.0, 55.0);
    line.addPoint(37.01, 55.01);
    feature.SetGeometry(&line);
    return layer->CreateFeature(&feature) == OGRERR_NONE;
}

bool ChartFixture::writeAttributesOnly(const QString& path) {
    Dataset ds = createGpkg(path);
    if (!ds) return false;
    OGRLayer* layer = ds->CreateLayer("attributes", nullptr, wkbNone, nullptr);
    if (layer == nullptr) return false;
    OGRFieldDefn fd("highway", OFTString);
    layer->CreateField(&fd);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("highway", "primary");
    return layer->CreateFeature(&feature) == OGRERR_NONE;
}
