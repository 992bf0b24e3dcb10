#include "analysis/TTripPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "analysis/TSpeedChart.h"
#include "analysis/TripChartData.h"
#include "analysis/TripSummary.h"

using namespace telvika::analysis;

namespace {
constexpr int SummaryWidth = 420;
}

TTripPanel::TTripPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TripPanel"));
    summary_ = new QTableWidget(0, 2, this);
    summary_->setObjectName(QStringLiteral("TripSummary"));
    summary_->horizontalHeader()->hide();
    summary_->verticalHeader()->hide();
    summary_->verticalHeader()->setDefaultSectionSize(summary_->fontMetrics().height() + 4);
    summary_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    summary_->setSelectionMode(QAbstractItemView::NoSelection);
    summary_->setFocusPolicy(Qt::NoFocus);
    summary_->setShowGrid(false);
    summary_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    summary_->horizontalHeader()->setStretchLastSection(true);
    summary_->setFixedWidth(SummaryWidth);

    auto* placeCaption = new QLabel(QStringLiteral("Место:"), this);
    place_ = new QLabel(QStringLiteral("—"), this);
    place_->setObjectName(QStringLiteral("lblPlace"));
    QFont bold = place_->font();
    bold.setBold(true);
    place_->setFont(bold);
    pointed_ = new QLabel(this);
    pointed_->setObjectName(QStringLiteral("lblPointed"));
    chart_ = new TSpeedChart(this);
    chart_->setObjectName(QStringLiteral("SpeedChart"));
    connect(chart_, &TSpeedChart::pointed, pointed_, &QLabel::setText);

    auto* top = new QHBoxLayout;
    top->addWidget(placeCaption);
    top->addWidget(place_, 1);
    top->addWidget(pointed_);
    auto* right = new QVBoxLayout;
    right->addLayout(top);
    right->addWidget(chart_, 1);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 4);
    row->addWidget(summary_);
    row->addLayout(right, 1);
}

void TTripPanel::showTrip(const TTripRecord& trip, const QVector<bool>& marked, const QVector<QImage>& icons) {
    const auto rows = summaryRows(summarizeTrip(trip.track, trip.stops), listedKindCounts(trip));
    summary_->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        summary_->setItem(r, 0, new QTableWidgetItem(rows[r].first));
        summary_->setItem(r, 1, new QTableWidgetItem(rows[r].second));
    }
    fillChartData(chart_->view().data(), trip, marked, icons);
    chart_->dataChanged();
}

void TTripPanel::showNoTrip(const QString& reason) {
    summary_->setRowCount(1);
    summary_->setItem(0, 0, new QTableWidgetItem(reason));
    summary_->setItem(0, 1, new QTableWidgetItem(QString()));
    fillChartData(chart_->view().data(), TTripRecord(), {}, {});
    chart_->dataChanged();
    place_->setText(QStringLiteral("—"));
}

void TTripPanel::setPlace(const QString& text) {
    if (place_->text() != text) place_->setText(text);
}
