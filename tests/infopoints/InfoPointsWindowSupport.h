#pragma once

// Helpers shared by the tests of the information-point lists in the real main window.

#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "app/TForm1.h"
#include "automation/TTelvikaAutomation.h"

namespace infopoints::testing {

inline TInfoPoints kind(const char* name, const char* query) {
    return {QString::fromUtf8(name), QLatin1String(query), true, true, QStringLiteral("Ic")};
}

// The settings' default list of kinds.
inline QVector<TInfoPoints> defaultKinds() {
    return {
        kind("Контрольные точки", "checkpoints-stages"),   kind("Список остановок", "parks"),
        kind("Периоды отсутствия сигнала", "blinds"),      kind("Периоды пропадания питания", "power_off"),
        kind("Периоды превышения скорости", "over_speed"), kind("Заправки и сливы бака №1", "tank-num1"),
        kind("Заправки и сливы бака №2", "tank-num2"),     kind("Включения датчика №1", "sensor_on-num1"),
        kind("Включения датчика №2", "sensor_on-num2"),    kind("Включения датчика №3", "sensor_on-num3"),
        kind("Включения датчика №4", "sensor_on-num4"),    kind("Включения датчика №5", "sensor_on-num5"),
        kind("Включения датчика №6", "sensor_on-num6")};
}

inline QVector<QStringList> rowsOf(QTreeWidget* list) {
    QVector<QStringList> rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QStringList texts;
        for (int c = 0; c < 4; ++c) texts << list->topLevelItem(r)->text(c);
        rows << texts;
    }
    return rows;
}

// Computes a period for a vehicle through the window's own connection and waits for its end.
inline bool computeAndWait(TForm1& w, const QString& group, int device, const QString& begin,
                           const QString& end) {
    TTelvikaAutomation& server = *w.data.TrackingServer;
    QSignalSpy ended(&server, &TTelvikaAutomation::OnEndComputing);
    server.StartComputing(group, device, begin, end, QStringLiteral("GSM"), 1);
    if (!ended.wait(60000)) return false;
    return QTest::qWaitFor([&] { return server.ComputingState() == 0; }, 20000);
}

}  // namespace infopoints::testing
