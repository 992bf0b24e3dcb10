// Tag columns of number type, as in charts converted from shapefiles: GDAL formats their values
// into a scratch buffer of the feature that the next number read frees. Such a chart loads, is
// classified and draws exactly as the same chart with text columns.
#include "ChartFixture.h"
#include "chart/ChartCollection.h"
#include "chart/ChartReader.h"
#include "core/Projection.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace mvx;

namespace {

using Type = ChartFixture::ColumnType;

// Named lakes and ponds (the name an integer or a real, the water tag a real), a park with a real
// name, buildings with an integer building tag and an integer name, a road and a town with
// integer names. Every area with a number name reads a second number column after the name.
ChartFixture mixedMap(bool numberColumns) {
    ChartFixture f;
    f.setColumnType("name", numberColumns ? Type::Integer : Type::Text);
    f.setColumnType("building", numberColumns ? Type::Integer : Type::Text);
    f.setColumnType("water", numberColumns ? Type::Real : Type::Text);
    f.addArea({{{36.996, 54.998}, {36.999, 54.998}, {36.999, 55.000}, {36.996, 55.000}}},
              {{"water", "1.5"}, {"name", "42"}});
    f.addArea({{{37.0025, 55.0025}, {37.0045, 55.0025}, {37.0045, 55.0032}, {37.0025, 55.0032}}},
              {{"water", "12.75"}, {"name", "1234567"}});
    for (int i = 0; i < 12; ++i) {
        const double x = 37.001 + 0.0004 * i;
        f.addArea({{{x, 54.9985}, {x + 0.0003, 54.9985}, {x + 0.0003, 54.9988}, {x, 54.9988}}},
                  {{"building", QString::number(i % 3 + 1)}, {"name", QString::number(100 + i)}});
    }
    f.addLine({{36.990, 55.0015}, {37.010, 55.0015}}, {{"highway", "primary"}, {"name", "1905"}});
    f.addPoint({37.0, 55.0005}, {{"place", "town"}, {"name", "2024"}});
    return f;
}

struct Drawn {
    QImage image;
    QStringList labels;
};

Drawn draw(const QString& path) {
    ChartCollection charts;
    Drawn d;
    if (charts.load(path) != ChartLoaded) return d;
    const QSize size(800, 600);
    MapView view(lonLatToMercator(37.0, 55.0), 1.0, size);
    view.setScaleDenominator(5000, 96.0);
    d.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    d.image.fill(Qt::magenta);
    QPainter painter(&d.image);
    RenderReport report;
    charts.render(painter, view, report);
    for (const RenderReport::Label& l : report.labels) d.labels << l.text;
    d.labels.sort();
    return d;
}

}  // namespace

class TestChartColumns : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void numberColumnsClassifyAsText();
    void numberColumnsDrawAsText();

private:
    QTemporaryDir dir_;
    QString numbers_;
    QString texts_;
};

void TestChartColumns::initTestCase() {
    QVERIFY(dir_.isValid());
    numbers_ = dir_.filePath("numbers.chart");
    texts_ = dir_.filePath("texts.chart");
    QString error;
    QVERIFY2(mixedMap(true).write(numbers_, &error), qPrintable(error));
    QVERIFY2(mixedMap(false).write(texts_, &error), qPrintable(error));
    // CHART_CORPUS_OUT=folder writes the charts made here into it (the fuzz corpus is made so).
    if (const QString out = qEnvironmentVariable("CHART_CORPUS_OUT"); !out.isEmpty()) {
        QFile::copy(numbers_, out + "/number-columns.chart");
        QFile::copy(texts_, out + "/text-columns.chart");
    }
}

void TestChartColumns::numberColumnsClassifyAsText() {
    const ChartReader::Result numbers = ChartReader::read(numbers_);
    const ChartReader::Result texts = ChartReader::read(texts_);
    QCOMPARE(numbers.code, int(ChartLoaded));
    QCOMPARE(texts.code, int(ChartLoaded));
    const auto& a = numbers.chart->features();
    const auto& b = texts.chart->features();
    QCOMPARE(a.size(), size_t(16));
    QCOMPARE(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        QCOMPARE(int(a[i].kind), int(b[i].kind));
        const QString nameA = a[i].name < 0 ? QString() : numbers.chart->names()[size_t(a[i].name)];
        const QString nameB = b[i].name < 0 ? QString() : texts.chart->names()[size_t(b[i].name)];
        QCOMPARE(nameA, nameB);
    }
    QCOMPARE(numbers.chart->countOf(FeatureKind::Water), size_t(2));
    QCOMPARE(numbers.chart->countOf(FeatureKind::Building), size_t(12));
    // The lakes keep their own names, not the text of the column read after them.
    QVERIFY(numbers.chart->names() == texts.chart->names());
    QVERIFY(std::find(numbers.chart->names().begin(), numbers.chart->names().end(), QString("42")) !=
            numbers.chart->names().end());
    QVERIFY(std::find(numbers.chart->names().begin(), numbers.chart->names().end(), QString("1234567")) !=
            numbers.chart->names().end());
}

void TestChartColumns::numberColumnsDrawAsText() {
    const Drawn numbers = draw(numbers_);
    const Drawn texts = draw(texts_);
    QVERIFY(!numbers.image.isNull());
    QVERIFY(!texts.image.isNull());
    QCOMPARE(numbers.labels, texts.labels);
    QVERIFY2(numbers.labels.contains("42"), qPrintable(numbers.labels.join(',')));
    QVERIFY2(numbers.labels.contains("2024"), qPrintable(numbers.labels.join(',')));
    QVERIFY(numbers.image == texts.image);
}

QTEST_MAIN(TestChartColumns)
#include "tst_chart_columns.moc"
