// Every information-point kind of the demo fleet through the real main window: each list shows
// every entry of the server's list under a minimum of 0, and exactly the long enough ones under 60.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>

#include "../support/PlayerFixture.h"
#include "InfoPointsWindowSupport.h"
#include "common/DateText.h"
#include "common/LocaleSetup.h"
#include "common/NumberText.h"
#include "common/OleDate.h"
#include "infopoints/InfoPointList.h"

using namespace infopoints::testing;

namespace {

// Seconds of a server duration text, read here on its own ("D hh:mm:ss" or "hh:mm:ss").
int secondsOf(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(?:(\\d+) )?(\\d\\d):(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return -1;
    return m.captured(1).toInt() * 86400 + m.captured(2).toInt() * 3600 + m.captured(3).toInt() * 60 +
           m.captured(4).toInt();
}

}  // namespace

class TestInfoPointsDemo : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("infopoints-demo")};
    std::unique_ptr<TForm1> w;

private slots:
    void initTestCase() {
        telvika::applyUserLocale();
        QVERIFY(fx.seedDemo());
        w = fx.startedWindow();
        QVERIFY(w->data.TrackingServer);
        QVERIFY(QTest::qWaitFor([&] { return w->data.TrackingServer->ComputingState() == 0; }, 60000));
        QTest::qWait(200);
    }

    void cleanupTestCase() {
        if (w) w->close();
        w.reset();
    }

    void everyKindListsItsEntries() {
        TTelvikaAutomation& server = *w->data.TrackingServer;
        const QString begin = DemoPeriodBegin.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        const QString end = DemoPeriodEnd.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        const QVector<TInfoPoints> kinds = defaultKinds();
        w->data.InfoPoints = kinds;
        w->data.InfoPointsCount = kinds.size();
        w->FillInfoPointKinds();

        QHash<QString, int> totals;
        // A delivery van, a lorry and a long-distance truck.
        for (const auto& [group, car] : {std::pair{"G01", 1}, std::pair{"G02", 1}, std::pair{"G09", 1}}) {
            server.SetSelectedGroupID(QLatin1String(group));
            server.SetCarIndex(car);
            QVERIFY(computeAndWait(*w, QLatin1String(group), server.CarDevice(), begin, end));
            const int trips = server.TripsCount();
            QVERIFY(trips >= 1);
            for (int trip = 1; trip <= trips; ++trip) {
                w->data.CurTrip = trip;
                for (int k = 0; k < kinds.size(); ++k) {
                    const TInfoPoints& kind = kinds[k];
                    w->cmbInfoPoints->setCurrentIndex(k + 1);
                    w->txtCont->setText(QStringLiteral("0"));
                    w->cmbInfoPointsChange();
                    const QVector<QStringList> all = rowsOf(w->ListView1);
                    w->txtCont->setText(QStringLiteral("60"));
                    const QVector<QStringList> long60 = rowsOf(w->ListView1);

                    // The server's own list of the kind, read here.
                    server.SetTripIndex(trip);
                    w->SelectEntryList(kind.query);
                    const int n = server.TripEntriesCount();
                    totals[kind.query] += n;
                    QCOMPARE(all.size(), n);
                    int listed = 0;
                    for (int e = 1; e <= n; ++e) {
                        server.SetTripEntryIndex(e);
                        const QStringList& row = all[e - 1];
                        QCOMPARE(row[0], QString::number(e));
                        QCOMPARE(row[1], server.TripEntryBegin());
                        QCOMPARE(row[2], server.TripEntryEnd());
                        const int seconds = secondsOf(server.TripEntryDuration());
                        QVERIFY(seconds >= 0);
                        if (seconds >= 60) {
                            QVERIFY(listed < long60.size());
                            QCOMPARE(long60[listed][1], row[1]);
                            QCOMPARE(long60[listed][0], QString::number(listed + 1));
                            ++listed;
                        }
                        QString value = server.TripEntryDuration();
                        if (kind.query == QLatin1String("over_speed"))
                            value = telvika::generalText(server.TripEntrySpeed());
                        else if (kind.query == QLatin1String("tank-num1"))
                            value = telvika::generalText(server.TripEntryTank1End() -
                                                         server.TripEntryTank1Begin());
                        else if (kind.query == QLatin1String("tank-num2"))
                            value = telvika::generalText(server.TripEntryTank2End() -
                                                         server.TripEntryTank2Begin());
                        QCOMPARE(row[3], value);
                    }
                    QCOMPARE(long60.size(), listed);
                }
            }
        }
        qInfo() << "entries per kind" << totals;
        // Deliveries stop at customers every working day; rarer kinds depend on the days covered.
        QVERIFY(totals.value(QStringLiteral("parks")) > 0);
        QVERIFY(totals.value(QStringLiteral("checkpoints-stages")) > 0);
        QVERIFY(fx.dialogs.calls.isEmpty());
    }
};

QTEST_MAIN(TestInfoPointsDemo)
#include "tst_infopoints_demo.moc"
