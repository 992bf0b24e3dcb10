#pragma once

#include <QImage>
#include <QVector>
#include <QWidget>

#include "analysis/TripRecord.h"

class QLabel;
class QTableWidget;
class TSpeedChart;

// The content of the trip panel: the summary of the loaded trip, the place of the vehicle, the
// value under the pointer and the speed chart.
class TTripPanel : public QWidget {
    Q_OBJECT
public:
    explicit TTripPanel(QWidget* parent = nullptr);

    TSpeedChart* chart() const { return chart_; }
    QTableWidget* summary() const { return summary_; }
    QLabel* place() const { return place_; }

    // The summary and the chart of a trip; marked: kinds whose entries are marked on the chart.
    void showTrip(const telvika::analysis::TTripRecord& trip, const QVector<bool>& marked,
                  const QVector<QImage>& icons);
    // No trip (or it could not be read): an empty chart and the reason in place of the summary.
    void showNoTrip(const QString& reason);
    void setPlace(const QString& text);

private:
    QTableWidget* summary_ = nullptr;
    QLabel* place_ = nullptr;
    QLabel* pointed_ = nullptr;
    TSpeedChart* chart_ = nullptr;
};
