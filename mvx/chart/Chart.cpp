#include "chart/Chart.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

[[noreturn]] void tooLarge(const char* what, std::uint64_t limit) {
    throw ChartTooLarge(QStringLiteral("the chart holds more than %1 %2, the most one chart may hold")
                            .arg(limit)
                            .arg(QLatin1String(what))
                            .toStdString());
}

}  // namespace

void Chart::beginFeature(FeatureKind kind, FeatureShape shape, const QString& name) {
    if (features_.size() >= limits_.maxFeatures) tooLarge("features", limits_.maxFeatures);
    ChartFeature f;
    f.kind = kind;
    f.shape = shape;
    f.firstPart = static_cast<std::uint32_t>(parts_.size());
    f.name = internName(name);
    features_.push_back(f);
    open_ = true;
}

std::int32_t Chart::internName(const QString& name) {
    if (name.isEmpty()) return -1;
    auto it = nameIndex_.constFind(name);
    if (it == nameIndex_.constEnd()) {
        it = nameIndex_.insert(name, static_cast<std::int32_t>(names_.size()));
        names_.push_back(name);
    }
    return it.value();
}

void Chart::addAddress(const QPointF& mercator, const QString& street, const QString& number) {
    if (number.isEmpty() || !std::isfinite(mercator.x()) || !std::isfinite(mercator.y())) return;
    if (addresses_.size() >= limits_.maxFeatures) tooLarge("addresses", limits_.maxFeatures);
    addresses_.push_back(ChartAddress{mercator, internName(street), number});
}

void Chart::addPart(const std::vector<QPointF>& mercatorPoints, Ring ring) {
    if (!open_ || mercatorPoints.empty()) return;
    if (parts_.size() >= limits_.maxParts) tooLarge("parts", limits_.maxParts);
    if (points_.size() + mercatorPoints.size() > limits_.maxPoints) tooLarge("points", limits_.maxPoints);
    ChartFeature& f = features_.back();
    ChartPart part;
    part.firstPoint = static_cast<std::uint32_t>(points_.size());
    part.pointCount = static_cast<std::uint32_t>(mercatorPoints.size());
    double x0 = mercatorPoints[0].x(), x1 = x0, y0 = mercatorPoints[0].y(), y1 = y0;
    for (const QPointF& p : mercatorPoints) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    if (f.partCount == 0) {
        f.bounds = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    } else {
        // Explicit min/max: united() would ignore the empty bounds of points and straight lines.
        f.bounds.setLeft(std::min(f.bounds.left(), x0));
        f.bounds.setTop(std::min(f.bounds.top(), y0));
        f.bounds.setRight(std::max(f.bounds.right(), x1));
        f.bounds.setBottom(std::max(f.bounds.bottom(), y1));
    }
    double twiceArea = 0;
    if (ring != Ring::None)
        for (size_t i = 0, j = mercatorPoints.size() - 1; i < mercatorPoints.size(); j = i++)
            twiceArea += mercatorPoints[j].x() * mercatorPoints[i].y() - mercatorPoints[i].x() * mercatorPoints[j].y();
    if ((ring == Ring::Outer && twiceArea < 0) || (ring == Ring::Hole && twiceArea > 0))
        points_.insert(points_.end(), mercatorPoints.rbegin(), mercatorPoints.rend());
    else
        points_.insert(points_.end(), mercatorPoints.begin(), mercatorPoints.end());
    parts_.push_back(part);
    ++f.partCount;
}

void Chart::endFeature() {
    if (!open_) return;
    open_ = false;
    if (features_.back().partCount == 0) features_.pop_back();
}

void Chart::finish() {
    std::stable_sort(features_.begin(), features_.end(),
                     [](const ChartFeature& a, const ChartFeature& b) { return a.kind < b.kind; });
    std::vector<QRectF> bounds;
    bounds.reserve(features_.size());
    extent_ = QRectF();
    bool first = true;
    for (const ChartFeature& f : features_) {
        bounds.push_back(f.bounds);
        if (first) {
            extent_ = f.bounds;
            first = false;
        } else {
            extent_.setLeft(std::min(extent_.left(), f.bounds.left()));
            extent_.setTop(std::min(extent_.top(), f.bounds.top()));
            extent_.setRight(std::max(extent_.right(), f.bounds.right()));
            extent_.setBottom(std::max(extent_.bottom(), f.bounds.bottom()));
        }
    }
    grid_.build(bounds, extent_);
    std::vector<QRectF> at;
    at.reserve(addresses_.size());
    QRectF reach;
    for (const ChartAddress& a : addresses_) {
        at.emplace_back(a.at, QSizeF(0, 0));
        if (at.size() == 1) {
            reach = at.back();
        } else {
            reach.setLeft(std::min(reach.left(), a.at.x()));
            reach.setTop(std::min(reach.top(), a.at.y()));
            reach.setRight(std::max(reach.right(), a.at.x()));
            reach.setBottom(std::max(reach.bottom(), a.at.y()));
        }
    }
    addressGrid_.build(at, reach);
    addresses_.shrink_to_fit();
    nameIndex_.clear();
    features_.shrink_to_fit();
    parts_.shrink_to_fit();
    points_.shrink_to_fit();
}

size_t Chart::contentBytes() const {
    size_t names = 0;
    for (const QString& n : names_) names += sizeof(QString) + static_cast<size_t>(n.capacity()) * sizeof(QChar);
    size_t numbers = 0;
    for (const ChartAddress& a : addresses_)
        numbers += sizeof(ChartAddress) + static_cast<size_t>(a.number.capacity()) * sizeof(QChar);
    return features_.capacity() * sizeof(ChartFeature) + parts_.capacity() * sizeof(ChartPart) +
           points_.capacity() * sizeof(QPointF) + names + numbers;
}

size_t Chart::countOf(FeatureKind kind) const {
    return static_cast<size_t>(
        std::count_if(features_.begin(), features_.end(), [kind](const ChartFeature& f) { return f.kind == kind; }));
}

}  // namespace mvx
