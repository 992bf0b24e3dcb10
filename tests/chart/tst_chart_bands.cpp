// Drawing in bands on two threads under failure: an exception on either thread reaches the
// caller of render() on its own thread, after both threads have ended, with the painter as it
// was; the renderer then draws as before. And the bands draw what one thread draws.
#include "SyntheticCity.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <numeric>
#include <stdexcept>
#include <thread>

using namespace mvx;

class TestChartBands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void failureOnEitherThreadReachesTheCaller_data();
    void failureOnEitherThreadReachesTheCaller();
    void bandsAreTakenByBothThreads();
    void failureKeepsItsType();
    void realStreetsDrawAsOnOneThread();

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

void TestChartBands::failureOnEitherThreadReachesTheCaller_data() {
    QTest::addColumn<bool>("onWorker");
    QTest::newRow("calling thread") << false;
    QTest::newRow("second thread") << true;
}

void TestChartBands::failureOnEitherThreadReachesTheCaller() {
    QFETCH(bool, onWorker);
    ChartRenderer renderer;
    RenderReport report;
    const QImage expected = draw(renderer, &report);
    QVERIFY(report.bands > 1);

    // Each thread holds its first band until the other one has begun one too, so that both
    // threads draw whichever starts first. The failing thread then fails at once; the other one is
    // slow, and render() must still wait for it before it lets the failure out.
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> callerBegan{false}, workerBegan{false}, slowOneDone{false};
    renderer.setBandHook([&](int) {
        const bool worker = std::this_thread::get_id() != caller;
        (worker ? workerBegan : callerBegan) = true;
        for (int i = 0; i < 5000 && !(workerBegan && callerBegan); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (worker == onWorker) throw std::runtime_error("band failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        slowOneDone = true;
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
    QVERIFY(workerBegan);
    QVERIFY(slowOneDone);  // the other thread's band had ended when render() left
    // The painter is as the caller left it.
    QCOMPARE(painter.transform(), QTransform::fromTranslate(3, 5));
    QCOMPARE(painter.opacity(), 0.5);
    painter.end();

    // The same renderer draws the next frame as before.
    renderer.setBandHook({});
    QVERIFY(draw(renderer) == expected);
}

void TestChartBands::bandsAreTakenByBothThreads() {
    // Every band is drawn exactly once, by one thread or the other; when the calling thread is
    // held up, the second thread takes the bands it has not started, and the reverse.
    for (const bool holdCaller : {true, false}) {
        ChartRenderer renderer;
        const std::thread::id caller = std::this_thread::get_id();
        std::mutex mutex;
        std::vector<int> bands;
        int byCaller = 0, byWorker = 0;
        renderer.setBandHook([&](int band) {
            const bool worker = std::this_thread::get_id() != caller;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                bands.push_back(band);
                ++(worker ? byWorker : byCaller);
            }
            if (worker != holdCaller) std::this_thread::sleep_for(std::chrono::milliseconds(400));
        });
        RenderReport report;
        const QImage image = draw(renderer, &report);
        std::sort(bands.begin(), bands.end());
        std::vector<int> every(static_cast<size_t>(report.bands));
        std::iota(every.begin(), every.end(), 0);
        QCOMPARE(bands, every);
        // The held thread drew one band, the other all the rest.
        QCOMPARE(holdCaller ? byCaller : byWorker, 1);
        QCOMPARE(holdCaller ? byWorker : byCaller, report.bands - 1);
        renderer.setBandHook({});
        QVERIFY(draw(renderer) == image);
    }
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

void TestChartBands::realStreetsDrawAsOnOneThread() {
    // Vaduz at 1:15000 on a large screen: enough features for bands, dashed footpaths and
    // tracks crossing both, overlapping buildings.
    const QByteArray source = TELVIKA_SOURCE_DIR "/tests/data/osm/liechtenstein.osm.pbf";
    const QByteArray target = dir_.filePath("liechtenstein.chart").toUtf8();
    GDALDatasetH in = GDALOpenEx(source.constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    QVERIFY(in != nullptr);
    const char* const args[] = {"-f", "GPKG", nullptr};
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
    CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
    GDALDatasetH out = GDALVectorTranslate(target.constData(), nullptr, 1, &in, options, nullptr);
    CPLPopErrorHandler();
    GDALVectorTranslateOptionsFree(options);
    GDALClose(in);
    QVERIFY(out != nullptr);
    GDALClose(out);
    const ChartReader::Result r = ChartReader::read(QString::fromUtf8(target));
    QVERIFY(r.chart);
    MapView view(lonLatToMercator(9.5209, 47.1410), 1.0, QSize(2560, 1600));
    view.setScaleDenominator(15000, 96.0);
    QImage images[2];
    for (int threads : {1, 2}) {
        ChartRenderer renderer;
        renderer.setThreads(threads);
        QImage& image = images[threads - 1];
        image = QImage(view.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        RenderReport report;
        renderer.render(painter, view, {r.chart.get()}, &report);
        QVERIFY(threads == 1 ? report.bands == 1 : report.bands > 1);
    }
    // Features in the same order, dash patterns laid out alike, every band drawn past its rows:
    // the same picture, the seams between the bands included, but for a level or two of rounding
    // where a band's picture starts at another row (a line cut at a seam differed by 30).
    int differing = 0;
    for (int y = 0; y < images[0].height(); ++y)
        for (int x = 0; x < images[0].width(); ++x) {
            const QRgb a = images[0].pixel(x, y), b = images[1].pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            differing += d > 2 ? 1 : 0;
        }
    QVERIFY2(differing == 0, qPrintable(QString("%1 pixels differ").arg(differing)));
}

QTEST_MAIN(TestChartBands)
#include "tst_chart_bands.moc"
