#include "chart/ChartCollection.h"

#include "chart/ChartLoadCode.h"
#include "chart/ChartReader.h"

#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <new>

namespace mvx {

ChartCollection::ChartCollection() = default;
ChartCollection::~ChartCollection() = default;

QString ChartCollection::keyOf(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

int ChartCollection::load(const QString& path) {
    lastError_.clear();
    try {
        if (path.isEmpty()) return ChartFileMissing;
        const QFileInfo info(path);
        if (!info.exists()) return ChartFileMissing;
        const QString key = keyOf(path);
        if (std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.key == key; }))
            return ChartAlreadyLoaded;
        if (!info.isFile() || !info.isReadable()) {
            lastError_ = QStringLiteral("not a readable file");
            return ChartInvalidFile;
        }
        ChartReader::Result result = ChartReader::read(info.absoluteFilePath());
        if (result.code != ChartLoaded) {
            lastError_ = result.error;
            return result.code;
        }
        entries_.push_back({path, key, std::move(result.chart)});
        return ChartLoaded;
    } catch (const std::bad_alloc&) {
        lastError_ = QStringLiteral("out of memory");
        return ChartSystemError;
    }
}

bool ChartCollection::close(const QString& path) {
    const QString key = keyOf(path);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.key == key || e.path == path; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

QStringList ChartCollection::paths() const {
    QStringList list;
    for (const Entry& e : entries_) list << e.path;
    return list;
}

bool ChartCollection::isEmpty() const { return entries_.empty(); }

QRectF ChartCollection::extentMercator() const {
    QRectF r;
    bool first = true;
    for (const Entry& e : entries_) {
        if (e.chart->features().empty()) continue;
        const QRectF x = e.chart->extent();
        if (first) {
            r = x;
            first = false;
        } else {
            r.setLeft(std::min(r.left(), x.left()));
            r.setTop(std::min(r.top(), x.top()));
            r.setRight(std::max(r.right(), x.right()));
            r.setBottom(std::max(r.bottom(), x.bottom()));
        }
    }
    return r;
}

std::vector<const Chart*> ChartCollection::charts() const {
    std::vector<const Chart*> list;
    for (const Entry& e : entries_) list.push_back(e.chart.get());
    return list;
}

void ChartCollection::render(QPainter& painter, const MapView& view) const {
    renderer_.render(painter, view, charts(), nullptr);
}

void ChartCollection::render(QPainter& painter, const MapView& view, RenderReport& report) const {
    renderer_.render(painter, view, charts(), &report);
}

void ChartCollection::render(QPainter& painter, const MapView& view, const RenderOptions& options,
                             RenderReport* report) const {
    renderer_.render(painter, view, charts(), report, options);
}

void ChartCollection::print(QPainter& painter, const MapView& view) const {
    ChartRenderer once;
    once.setThreads(1);  // bands are pictures of the view's own pixels
    once.render(painter, view, charts(), nullptr);
}

StreetPlace ChartCollection::nearestStreet(double lon, double lat, double maxMetres) const {
    return StreetFinder::nearest(charts(), lon, lat, maxMetres);
}

}  // namespace mvx
