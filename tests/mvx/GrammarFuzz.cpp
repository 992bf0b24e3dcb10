#include "GrammarFuzz.h"

#include "CommandParser.h"
#include "IconLibrary.h"
#include "MapTable.h"
#include "MetricsParser.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "StyleParser.h"
#include "core/Projection.h"

#include <QImage>
#include <QPainter>
#include <QString>

#include <cmath>
#include <cstdlib>

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

int runGrammarFuzzInput(const uint8_t* data, size_t size) {
    using namespace mvx;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = text.split(u'\n');
    const QString command = parts.value(0);
    const QString style = parts.value(1);
    const QString value = parts.value(2);

    QString error;
    ObjectCommand cmd;
    if (CommandParser::parse(command, cmd, error)) {
        require(!cmd.name.isEmpty());
        require(cmd.geometry == ObjectCommand::Geometry::Metrics ? !cmd.metricsField.isEmpty()
                                                                 : !cmd.latField.isEmpty() && !cmd.lonField.isEmpty());
    } else {
        require(!error.isEmpty());
    }
    ObjectStyle st;
    if (StyleParser::parse(style, st, error)) {
        require(st.color.isValid() && st.width >= 0 && st.width <= 100 && st.opacity >= 0 && st.opacity <= 100);
        require(st.iconSize >= 1 && st.iconSize <= 512 && st.fontSize >= 1 && st.fontSize <= 200);
    } else {
        require(!error.isEmpty());
    }
    QVector<QPointF> pts;
    if (MetricsParser::parse(value, pts, error)) {
        require(!pts.isEmpty());
        for (const QPointF& p : pts) require(std::isfinite(p.x()) && std::isfinite(p.y()));
    }

    // The same three through a set of every field kind the player uses, then drawn.
    MapTable table;
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
    table.AddRecord();
    table.SetFieldValue(value, 0);
    const QStringList coords = value.split(u' ');
    table.SetFieldValue(coords.value(0), 1);
    table.SetFieldValue(coords.value(1), 2);
    table.SetFieldValue(style, 3);
    table.SetFieldValue(command, 4);
    ObjectLayer layer;
    const int n = layer.load(command, style, table);
    require(n <= 1);
    if (n == 1) {
        static IconLibrary icons;  // no folder: every bundle is missing, which must be harmless too
        QImage img(48, 32, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        const QPointF centre = layer.sets().first().objects.first().merc.first();
        for (double mpp : {0.001, 50.0, 1e6}) {
            ObjectRenderer().render(p, MapView(centre, mpp, img.size()), layer, icons);
            layer.nameAt(MapView(centre, mpp, img.size()), QPointF(24, 16));
        }
    }
    return n >= 0 ? 1 : 0;
}
