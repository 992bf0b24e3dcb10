// Two-band drawing under failure: an exception on either drawing thread reaches the caller of
// render() on its own thread, after both bands have ended, with the painter as it was; the
// renderer then draws as before.
#include "SyntheticCity.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>

using namespace mvx;

class TestChartBands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void failureOnEitherBandReachesTheCaller_data();
    void failureOnEitherBandReachesTheCaller();
    void failureKeepsItsType();

private:
    QImage draw(const ChartRenderer& renderer, RenderReport* report = nullptr) const;

    QTemporaryDir dir_;
    std::unique_ptr<Chart> chart_;
    MapView view_;
};

void TestChartBands::initTestCase() {
    if (std::thread::hardware_concurrency() < 2) QSKIP("two-band drawing needs two cores");
    QVERIFY(dir_.isValid());
    SyntheticCity::Options o;
    o.blocksX = 40;
    o.blocksY = 30;
    const QString path = dir_.filePath("city.chart");
    QString error;
    QVERIFY2(SyntheticCity(o).writeChart(path, &error), qPrintable(error));
    ChartReader::Result r = ChartReader::read(path);
    QVERIFY(r.chart);
    chart_ = std::move(r.chart);
    const QPointF c = SyntheticCity().centreLonLat();
    view_ = MapView(lonLatToMercator(c.x(), c.y()), 1.0, QSize(1400, 1000));
    view_.setScaleDenominator(20000, 96.0);
}

QImage TestChartBands::draw(const ChartRenderer& renderer, RenderReport* report) const {
    QImage image(view_.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    renderer.render(painter, view_, {chart_.get()}, report);
    return image;
}

void TestChartBands::failureOnEitherBandReachesTheCaller_data() {
    QTest::addColumn<int>("band");
    QTest::newRow("upper band, calling thread") << 0;
    QTest::newRow("lower band, worker thread") << 1;
}

void TestChartBands::failureOnEitherBandReachesTheCaller() {
    QFETCH(int, band);
    ChartRenderer renderer;
    RenderReport report;
    const QImage expected = draw(renderer, &report);
    QCOMPARE(report.bands, 2);

    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> started{0};
    std::atomic<bool> failingOnWorker{false};
    renderer.setBandHook([&](int b) {
        ++started;
        if (b != band) return;
        failingOnWorker = std::this_thread::get_id() != caller;
        throw std::runtime_error("band failed");
    });
    QImage image(view_.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.translate(3, 5);
    painter.setOpacity(0.5);
    bool caught = false;
    try {
        renderer.render(painter, view_, {chart_.get()});
    } catch (const std::runtime_error& e) {
        caught = std::string(e.what()) == "band failed" && std::this_thread::get_id() == caller;
    }
    QVERIFY(caught);
    QCOMPARE(started.load(), 2);  // both bands began, so both had ended when render() left
    QCOMPARE(failingOnWorker.load(), band == 1);
    // The painter is as the caller left it.
    QCOMPARE(painter.transform(), QTransform::fromTranslate(3, 5));
    QCOMPARE(painter.opacity(), 0.5);
    painter.end();

    // The same renderer draws the next frame as before.
    renderer.setBandHook({});
    QVERIFY(draw(renderer) == expected);
}

void TestChartBands::failureKeepsItsType() {
    ChartRenderer renderer;
    renderer.setBandHook([](int b) {
        if (b == 1) throw std::bad_alloc();
    });
    QImage image(view_.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, renderer.render(painter, view_, {chart_.get()}));
}

QTEST_MAIN(TestChartBands)
#include "tst_chart_bands.moc"
