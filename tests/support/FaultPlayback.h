#pragma once

// What the fault tests of the player share: a wall clock moved by hand, the server processes of a
// fixture, ticks that must move the replay on, and the settings every fault window starts from.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSlider>
#include <QtTest>

#include "PlayerFixture.h"
#include "app/TForm1.h"
#include "common/OleDate.h"
#include "settings/SettingsFile.h"

namespace fault {

// A wall clock the test moves by hand.
struct ManualClock {
    telvika::TDateTime now = telvika::oleNow();
    ManualClock() {
        telvika::setNowSource([this] { return now; });
    }
    ~ManualClock() { telvika::setNowSource({}); }
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;
    void advanceSeconds(double s) { now += s / 86400.0; }
};

// The processes whose command line names the folder: the fixture's servers (the admin tool has
// exited by then).
inline QList<qint64> processesNaming(const QString& folder) {
    QProcess p;
    p.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), QStringLiteral("--"), folder});
    p.waitForFinished(10000);
    QList<qint64> pids;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty()) pids << line.trimmed().toLongLong();
    pids.removeAll(QCoreApplication::applicationPid());
    return pids;
}

// Five ticks by hand: each must move the moment and the track bar on.
inline void playsOn(TForm1& w, ManualClock& clock) {
    telvika::TDateTime last = w.data.PlayTime;
    int position = w.TrackBar->value();
    for (int i = 0; i < 5; ++i) {
        clock.advanceSeconds(0.5);  // 300 s of track time at 600x
        w.Timer1Timer();
        QVERIFY(w.data.PlayTime > last);
        QVERIFY(w.TrackBar->value() > position);
        last = w.data.PlayTime;
        position = w.TrackBar->value();
    }
}

// Group 0, vehicle 0, the demo period at 600x, stops not skipped, no minimum duration. Written
// before each window, because a window saves its own selection when it closes.
inline void writeSettings(const QString& appDir) {
    telvika::TSettingsValues v = telvika::defaultSettingsValues();
    v.GroupID = 0;
    v.CarID = 0;
    v.DateTimeBegin = DemoPeriodBegin;
    v.DateTimeEnd = DemoPeriodEnd;
    v.Speed = QStringLiteral("600x");
    v.Stops = false;
    v.Cont = QStringLiteral("0");
    QString error;
    QVERIFY2(telvika::writeSettingsFile(QDir(appDir).filePath(QStringLiteral("TVSettings.xml")), v, &error),
             qPrintable(error));
}

}  // namespace fault
