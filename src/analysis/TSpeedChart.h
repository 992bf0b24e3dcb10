#pragma once

#include <QWidget>

#include "analysis/SpeedChartView.h"

// The speed chart of the trip panel. A click or a drag asks for a seek to the moment under the
// pointer; the wheel zooms the time axis about the pointer and a double click shows the whole
// trip again; the value under the pointer is told as the pointer moves.
class TSpeedChart : public QWidget {
    Q_OBJECT
public:
    explicit TSpeedChart(QWidget* parent = nullptr);

    telvika::analysis::TSpeedChartView& view() { return view_; }
    // After the view's data were filled: the whole trip, no cursor.
    void dataChanged();
    // The cursor at the moment shown.
    void setMoment(telvika::TDateTime moment);

signals:
    void seekRequested(double moment);
    void pointed(const QString& value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void seekAt(double x);
    telvika::analysis::TSpeedChartView view_;
};
