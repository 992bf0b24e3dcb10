#include "analysis/TripReport.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QBuffer>

#include <algorithm>

#include "analysis/SafeTarget.h"
#include "analysis/SpeedChartView.h"
#include "analysis/TripChartData.h"
#include "analysis/TripSummary.h"
#include "common/FileReplace.h"
#include "common/NumberText.h"

namespace telvika::analysis {

namespace {

constexpr int Dpi = 300;
constexpr double ScreenDpi = 96.0;
const QString FontFamily = QStringLiteral("DejaVu Sans");

// Writes the pages top to bottom in millimetres of the page's printable area.
class ReportPages {
public:
    ReportPages(QPdfWriter& writer, QPainter& painter) : writer_(writer), p_(painter) {
        dotsPerMm_ = Dpi / 25.4;
        width_ = writer.width() / dotsPerMm_;
        height_ = writer.height() / dotsPerMm_;
    }
    double width() const { return width_; }
    double y() const { return y_; }
    void skip(double mm) { y_ += mm; }
    QRectF box(double x, double y, double w, double h) const {
        return QRectF(x * dotsPerMm_, y * dotsPerMm_, w * dotsPerMm_, h * dotsPerMm_);
    }
    bool fits(double mm) const { return y_ + mm <= height_; }
    // A new page when less than `mm` is left.
    void need(double mm) {
        if (!fits(mm)) newPage();
    }
    void newPage() {
        writer_.newPage();
        y_ = 0;
    }
    void setFont(double points, bool bold = false) {
        QFont f(FontFamily);
        f.setPointSizeF(points);
        f.setBold(bold);
        p_.setFont(f);
    }
    double textWidth(const QString& s) const { return QFontMetricsF(p_.font(), &writer_).horizontalAdvance(s) / dotsPerMm_; }
    double lineHeight() const { return QFontMetricsF(p_.font(), &writer_).height() / dotsPerMm_ * 1.15; }
    // One line of text in a column; long texts are elided.
    void text(double x, double w, const QString& s, Qt::Alignment align = Qt::AlignLeft) {
        const QRectF r = box(x, y_, w, lineHeight());
        const QString shown = QFontMetricsF(p_.font(), &writer_).elidedText(s, Qt::ElideRight, r.width());
        p_.drawText(r, align | Qt::AlignVCenter, shown);
    }
    void heading(const QString& s) {
        need(14);
        setFont(12, true);
        text(0, width_, s);
        y_ += lineHeight() + 1;
        setFont(9);
    }
    // Rows of label and value.
    void pairs(const QVector<QPair<QString, QString>>& rows) {
        for (const auto& [label, value] : rows) {
            need(lineHeight());
            p_.setPen(QColor(90, 90, 90));
            text(0, 60, label);
            p_.setPen(Qt::black);
            text(62, width_ - 62, value);
            y_ += lineHeight();
        }
    }
    QPainter& painter() { return p_; }
    double dotsPerMm() const { return dotsPerMm_; }

private:
    QPdfWriter& writer_;
    QPainter& p_;
    double dotsPerMm_ = 1;
    double width_ = 0;
    double height_ = 0;
    double y_ = 0;
};

QVector<QPair<QString, QString>> headerRows(const TTripHeader& h) {
    return {{QStringLiteral("Группа"), h.group},
            {QStringLiteral("Название ТС"), h.vehicleName},
            {QStringLiteral("Номер ТС"), h.vehicleNumber},
            {QStringLiteral("№ прибора"), QString::number(h.device)},
            {QStringLiteral("№ рейса"), QString::number(h.tripNumber)},
            {QStringLiteral("Начало"), h.beginText},
            {QStringLiteral("Конец"), h.endText},
            {QStringLiteral("Продолжительность"), h.durationText}};
}

void drawMap(ReportPages& pages, const TReportExtras& extras) {
    const double h = 115;
    pages.need(h + 8);
    const QRectF area = pages.box(0, pages.y(), pages.width(), h);
    QPainter& p = pages.painter();
    double scale = 0;
    if (extras.drawMap) scale = extras.drawMap(p, area);
    p.setPen(QPen(QColor(120, 120, 120), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(area);
    pages.skip(h + 1);
    pages.setFont(8);
    QString caption;
    if (!extras.mapLoaded) caption = QStringLiteral("Карта не загружена: трек показан без карты. ");
    if (!extras.drawMap) caption = QStringLiteral("Карта не загружена: картографический компонент недоступен.");
    if (extras.drawMap && scale > 0) caption += QStringLiteral("Масштаб 1:%1").arg(fixedText(scale, 0));
    pages.text(0, pages.width(), caption);
    pages.skip(pages.lineHeight() + 3);
}

void drawChart(ReportPages& pages, const TTripRecord& trip, const TReportExtras& extras) {
    const double h = 62;
    pages.need(h + 14);
    pages.heading(QStringLiteral("График скорости, км/ч"));
    TSpeedChartView view;
    fillChartData(view.data(), trip, extras.markedKinds, extras.kindIcons);
    view.reset();
    // Laid out in screen pixels and scaled to the page, so it reads as it does on screen.
    const QRectF area = pages.box(0, pages.y(), pages.width(), h);
    const double k = Dpi / ScreenDpi;
    const QRect logical(0, 0, static_cast<int>(area.width() / k), static_cast<int>(area.height() / k));
    view.axis().setPixels(TSpeedChartPainter::plotRect(logical).left(), TSpeedChartPainter::plotRect(logical).width());
    QPainter& p = pages.painter();
    p.save();
    p.translate(area.topLeft());
    p.scale(k, k);
    QFont f(FontFamily);
    p.setFont(f);
    std::vector<TSpeedSeries::Column> columns;
    TSpeedChartPainter::paint(p, logical, view.data(), view.axis(), columns);
    p.restore();
    pages.skip(h + 4);
}

void drawEntries(ReportPages& pages, const TTripRecord& trip, const TReportExtras& extras) {
    pages.heading(QStringLiteral("Информационные точки"));
    const double w = pages.width();
    // The kind, date and duration columns as wide as their texts, the place taking the rest.
    pages.setFont(8, true);
    double kindWidth = 0, timeWidth = 0, durationWidth = pages.textWidth(QStringLiteral("Прод-ть"));
    pages.setFont(8);
    for (const TTripEntry& e : trip.entries) {
        if (e.kind < 0 || e.kind >= trip.kinds.size() || !trip.kinds[e.kind].VisibleList) continue;
        kindWidth = std::max(kindWidth, pages.textWidth(e.kindName));
        timeWidth = std::max({timeWidth, pages.textWidth(e.beginText), pages.textWidth(e.endText)});
        durationWidth = std::max(durationWidth, pages.textWidth(e.durationText));
    }
    constexpr double Gap = 2;
    kindWidth = std::min(kindWidth + Gap, w * 0.34);
    timeWidth = std::min(timeWidth + Gap, w * 0.2);
    durationWidth = std::min(durationWidth + Gap, w * 0.12);
    const double cols[] = {0, kindWidth, kindWidth + timeWidth, kindWidth + 2 * timeWidth,
                           kindWidth + 2 * timeWidth + durationWidth};  // kind, begin, end, duration, place
    const QStringList titles{QStringLiteral("Вид"), QStringLiteral("Начало"), QStringLiteral("Конец"),
                             QStringLiteral("Прод-ть"), QStringLiteral("Место")};
    auto row = [&](const QStringList& cells, bool bold) {
        pages.setFont(8, bold);
        for (int c = 0; c < 5; ++c) pages.text(cols[c], (c < 4 ? cols[c + 1] : w) - cols[c] - 1, cells[c]);
        pages.skip(pages.lineHeight());
    };
    bool any = false;
    for (int i = 0; i < trip.entries.size(); ++i) {
        const TTripEntry& e = trip.entries[i];
        if (e.kind < 0 || e.kind >= trip.kinds.size() || !trip.kinds[e.kind].VisibleList) continue;
        pages.setFont(8);
        const double lh = pages.lineHeight();
        if (!any) {
            pages.need(2 * lh);
            row(titles, true);
        } else if (!pages.fits(lh)) {
            pages.newPage();  // the table goes on under its titles
            row(titles, true);
        }
        row({e.kindName, e.beginText, e.endText, e.durationText, extras.places.value(i, QStringLiteral("—"))}, false);
        any = true;
    }
    if (!any) {
        pages.setFont(9);
        pages.text(0, w, QStringLiteral("Нет записей выбранных видов."));
        pages.skip(pages.lineHeight());
    }
}

void paintReport(QPdfWriter& writer, const TTripRecord& trip, const TReportExtras& extras) {
    QPainter painter(&writer);
    ReportPages pages(writer, painter);
    pages.setFont(16, true);
    pages.text(0, pages.width(), QStringLiteral("Отчёт о рейсе"));
    pages.skip(pages.lineHeight() + 2);
    pages.setFont(9);
    pages.pairs(headerRows(trip.header));
    pages.skip(3);
    drawMap(pages, extras);
    drawChart(pages, trip, extras);
    pages.heading(QStringLiteral("Сводка"));
    pages.pairs(summaryRows(summarizeTrip(trip.track, trip.stops), listedKindCounts(trip)));
    pages.skip(4);
    drawEntries(pages, trip, extras);
}

}  // namespace

bool writeTripReport(const TTripRecord& trip, const TReportExtras& extras, const QString& path, QString* error) {
    // The document is made in memory and replaces the file in one checked step: a disk that fills
    // while it is written leaves the report already there as it was.
    QByteArray document;
    {
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(Dpi);
        writer.setTitle(QStringLiteral("Отчёт о рейсе %1: %2 %3")
                            .arg(trip.header.tripNumber)
                            .arg(trip.header.vehicleName, trip.header.vehicleNumber));
        writer.setCreator(QStringLiteral("telvika-player"));
        paintReport(writer, trip, extras);
    }
    QString reason;
    if (!replaceFileContents(path, document, &reason)) {
        if (error) *error = saveFailedText(path, reason);
        return false;
    }
    return true;
}

}  // namespace telvika::analysis
