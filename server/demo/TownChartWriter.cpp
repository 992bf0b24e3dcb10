#include "demo/TownChartWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <cstdio>

#include <gdal.h>
#include <gdal_utils.h>
#include <cpl_error.h>

namespace telvika::server::demo {

namespace {

// Ids and output of the OSM document being written.
class OsmDocument {
public:
    OsmDocument(QXmlStreamWriter& xml, const LocalFrame& frame) : xml_(xml), frame_(frame) {}

    qint64 node(QPointF metres, const QVector<QPair<QString, QString>>& tags = {}) {
        const qint64 id = nextNode_++;
        const QPointF ll = frame_.toLonLat(metres);
        xml_.writeStartElement(QStringLiteral("node"));
        xml_.writeAttribute(QStringLiteral("id"), QString::number(id));
        xml_.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
        xml_.writeAttribute(QStringLiteral("lat"), QString::number(ll.y(), 'f', 7));
        xml_.writeAttribute(QStringLiteral("lon"), QString::number(ll.x(), 'f', 7));
        writeTags(tags);
        xml_.writeEndElement();
        return id;
    }

    // Nodes must precede ways in the document: the nodes of a way are written first, the way is
    // kept and written after all nodes.
    qint64 way(const QVector<QPointF>& points, bool closed, const QVector<QPair<QString, QString>>& tags) {
        QVector<qint64> refs;
        for (const QPointF& p : points) refs.push_back(node(p));
        if (closed && !refs.isEmpty()) refs.push_back(refs.first());
        const qint64 id = nextWay_++;
        ways_.push_back({id, refs, tags});
        return id;
    }

    void relation(qint64 outer, const QVector<qint64>& inner, const QVector<QPair<QString, QString>>& tags) {
        relations_.push_back({nextRelation_++, outer, inner, tags});
    }

    void finish() {
        for (const Way& w : ways_) {
            xml_.writeStartElement(QStringLiteral("way"));
            xml_.writeAttribute(QStringLiteral("id"), QString::number(w.id));
            xml_.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
            for (qint64 ref : w.refs) {
                xml_.writeEmptyElement(QStringLiteral("nd"));
                xml_.writeAttribute(QStringLiteral("ref"), QString::number(ref));
            }
            writeTags(w.tags);
            xml_.writeEndElement();
        }
        for (const Relation& r : relations_) {
            xml_.writeStartElement(QStringLiteral("relation"));
            xml_.writeAttribute(QStringLiteral("id"), QString::number(r.id));
            xml_.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
            member(r.outer, QStringLiteral("outer"));
            for (qint64 in : r.inner) member(in, QStringLiteral("inner"));
            QVector<QPair<QString, QString>> tags = r.tags;
            tags.push_front({QStringLiteral("type"), QStringLiteral("multipolygon")});
            writeTags(tags);
            xml_.writeEndElement();
        }
    }

private:
    struct Way {
        qint64 id;
        QVector<qint64> refs;
        QVector<QPair<QString, QString>> tags;
    };
    struct Relation {
        qint64 id;
        qint64 outer;
        QVector<qint64> inner;
        QVector<QPair<QString, QString>> tags;
    };

    void member(qint64 way, const QString& role) {
        xml_.writeEmptyElement(QStringLiteral("member"));
        xml_.writeAttribute(QStringLiteral("type"), QStringLiteral("way"));
        xml_.writeAttribute(QStringLiteral("ref"), QString::number(way));
        xml_.writeAttribute(QStringLiteral("role"), role);
    }

    void writeTags(const QVector<QPair<QString, QString>>& tags) {
        for (const auto& [k, v] : tags) {
            xml_.writeEmptyElement(QStringLiteral("tag"));
            xml_.writeAttribute(QStringLiteral("k"), k);
            xml_.writeAttribute(QStringLiteral("v"), v);
        }
    }

    QXmlStreamWriter& xml_;
    LocalFrame frame_;
    qint64 nextNode_ = 1;
    qint64 nextWay_ = 1;
    qint64 nextRelation_ = 1;
    QVector<Way> ways_;
    QVector<Relation> relations_;
};

bool isRelationArea(const TownFeature& f) {
    if (!f.holes.isEmpty()) return true;
    for (const auto& [k, v] : f.tags)
        if (k == QLatin1String("water") && v == QLatin1String("river")) return true;
    return false;
}

}  // namespace

QByteArray TownChartWriter::osmXml() const {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("osm"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("0.6"));
    xml.writeAttribute(QStringLiteral("generator"), QStringLiteral("telvika-demo"));
    OsmDocument doc(xml, plan_.frame);
    for (const TownFeature& f : plan_.features) {
        switch (f.shape) {
        case TownFeature::Shape::Point:
            doc.node(f.points.first(), f.tags);
            break;
        case TownFeature::Shape::Line:
            doc.way(f.points, false, f.tags);
            break;
        case TownFeature::Shape::Area:
            if (isRelationArea(f)) {
                const qint64 outer = doc.way(f.points, true, {});
                QVector<qint64> inner;
                for (const auto& hole : f.holes) inner.push_back(doc.way(hole, true, {}));
                doc.relation(outer, inner, f.tags);
            } else {
                doc.way(f.points, true, f.tags);
            }
            break;
        }
    }
    doc.finish();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

bool TownChartWriter::write(const QString& path, QString* error) const {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    QTemporaryDir dir;
    if (!dir.isValid()) return fail(QStringLiteral("не удалось создать временную папку"));
    const QString osmPath = dir.filePath(QStringLiteral("town.osm"));
    QFile osm(osmPath);
    if (!osm.open(QIODevice::WriteOnly) || osm.write(osmXml()) < 0 || !osm.flush())
        return fail(QStringLiteral("не удалось записать %1").arg(osmPath));
    osm.close();

    GDALAllRegister();
    CPLErrorReset();
    const char* const drivers[] = {"OSM", nullptr};
    GDALDatasetH src = GDALOpenEx(osmPath.toUtf8().constData(), GDAL_OF_VECTOR, drivers, nullptr, nullptr);
    if (!src) return fail(QStringLiteral("GDAL не читает OSM: %1").arg(QString::fromUtf8(CPLGetLastErrorMsg())));

    // Written beside the map and renamed over it when complete: a stop midway leaves the old map
    // (or none), never half of one.
    const QString partPath = path + QStringLiteral(".part");
    QFile::remove(partPath);
    char* args[] = {const_cast<char*>("-f"), const_cast<char*>("GPKG"), nullptr};
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(args, nullptr);
    int usageError = 0;
    // GDAL warns that ".chart" is not the usual GeoPackage extension; that is expected here.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    GDALDatasetH dst = GDALVectorTranslate(partPath.toUtf8().constData(), nullptr, 1, &src, options, &usageError);
    CPLPopErrorHandler();
    const QString gdalMessage = QString::fromUtf8(CPLGetLastErrorMsg());
    GDALVectorTranslateOptionsFree(options);
    GDALClose(src);
    if (!dst) {
        QFile::remove(partPath);
        return fail(QStringLiteral("GDAL не записал GeoPackage: %1").arg(gdalMessage));
    }
    GDALClose(dst);
    if (std::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(partPath);
        return fail(QStringLiteral("не удалось заменить файл %1").arg(path));
    }
    return true;
}

bool writeDemoTownChart(const QString& path, quint32 seed, QString* error) {
    return TownChartWriter(townPlan(seed)).write(path, error);
}

}  // namespace telvika::server::demo
