// Malformed map files never crash the loader: truncated, bit-flipped and random files give a
// result code, through the fuzz entry point (from memory) and through ChartCollection (from disk).
#include "ChartFixture.h"
#include "ChartFuzz.h"
#include "chart/ChartCollection.h"
#include "chart/ChartLoadCode.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

class TestChartFuzz : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void seedLoads();
    void truncatedFiles();
    void bitFlippedFiles();
    void randomBytes();
    void corpusFilesLoad();

private:
    int loadFromDisk(const QByteArray& bytes);
    QTemporaryDir dir_;
    QByteArray seed_;
    int diskRuns_ = 0;
};

void TestChartFuzz::initTestCase() {
    QVERIFY(dir_.isValid());
    ChartFixture fixture;
    fixture.addLine({{37.0, 55.0}, {37.01, 55.001}, {37.02, 55.0}}, {{"highway", "primary"}, {"name", "Ленина"}});
    fixture.addLine({{37.0, 55.002}, {37.02, 55.003}}, {{"railway", "rail"}, {"gauge", "1520"}});
    fixture.addArea({{{37.0, 55.0}, {37.01, 55.0}, {37.01, 55.01}, {37.0, 55.01}},
                     {{37.004, 55.004}, {37.006, 55.004}, {37.006, 55.006}, {37.004, 55.006}}},
                    {{"natural", "water"}, {"name", "Озеро"}});
    fixture.addArea({{{37.02, 55.0}, {37.021, 55.0}, {37.021, 55.001}, {37.02, 55.001}}}, {{"building", "yes"}});
    fixture.addPoint({37.005, 55.005}, {{"place", "town"}, {"name", "Новоград"}});
    const QString path = dir_.filePath("seed.chart");
    QVERIFY(fixture.write(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    seed_ = f.readAll();
    QVERIFY(seed_.size() > 4096);
}

int TestChartFuzz::loadFromDisk(const QByteArray& bytes) {
    const QString path = dir_.filePath(QString("case%1.chart").arg(diskRuns_++));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return -1;
    f.close();
    mvx::ChartCollection charts;
    const int code = charts.load(path);
    QFile::remove(path);
    return code;
}

void TestChartFuzz::seedLoads() {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed_.constData()), static_cast<size_t>(seed_.size()));
    QCOMPARE(lastFuzzLoadCode(), int(mvx::ChartLoaded));
    QCOMPARE(loadFromDisk(seed_), int(mvx::ChartLoaded));
}

void TestChartFuzz::truncatedFiles() {
    // Cut inside the SQLite header, at page boundaries and in the middle of pages.
    QList<qsizetype> lengths{0, 1, 15, 16, 99, 100, 101, 512, 1024, 4095, 4096, 4097};
    for (qsizetype n = 8192; n < seed_.size(); n += seed_.size() / 23) lengths << n << n + 777;
    lengths << seed_.size() - 1;
    for (qsizetype n : lengths) {
        if (n >= seed_.size()) continue;
        const QByteArray cut = seed_.left(n);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(cut.constData()), static_cast<size_t>(cut.size()));
        const int code = lastFuzzLoadCode();
        QVERIFY2(code == mvx::ChartInvalidFile || code == mvx::ChartNoDrawableLayer || code == mvx::ChartLoaded,
                 qPrintable(QString("length %1 gave %2").arg(n).arg(code)));
        // Without its header and first pages a file cannot be a GeoPackage at all.
        if (n < 4096) QCOMPARE(code, int(mvx::ChartInvalidFile));
        if (n % 3 == 0) QCOMPARE(loadFromDisk(cut), code);
    }
}

void TestChartFuzz::bitFlippedFiles() {
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<qsizetype> at(0, seed_.size() - 1);
    std::uniform_int_distribution<int> bit(0, 7), flips(1, 12), kind(0, 2);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = seed_;
        const int n = flips(rng);
        for (int i = 0; i < n; ++i) {
            const qsizetype p = at(rng);
            switch (kind(rng)) {
                case 0: bytes[p] = static_cast<char>(bytes[p] ^ (1 << bit(rng))); break;
                case 1: bytes[p] = static_cast<char>(0xff); break;
                default: bytes[p] = 0; break;
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        const int code = lastFuzzLoadCode();
        QVERIFY(code == mvx::ChartLoaded || code == mvx::ChartInvalidFile || code == mvx::ChartNoDrawableLayer);
        (code == mvx::ChartLoaded ? loaded : refused)++;
        if (round % 20 == 0) QCOMPARE(loadFromDisk(bytes), code);
    }
    // Flips in unused space leave a loadable map; flips in the header or schema do not.
    QVERIFY(loaded > 0);
    QVERIFY(refused > 0);
}

void TestChartFuzz::randomBytes() {
    std::mt19937 rng(5);
    for (int round = 0; round < 30; ++round) {
        QByteArray bytes(static_cast<qsizetype>(rng() % 20000), '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        // Half of them start like an SQLite file, to get past the first check.
        if (round % 2 == 0 && bytes.size() > 16) bytes.replace(0, 16, QByteArray("SQLite format 3\0", 16));
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        QCOMPARE(lastFuzzLoadCode(), int(mvx::ChartInvalidFile));
    }
}

void TestChartFuzz::corpusFilesLoad() {
    // Every kept input is a valid map that once broke the reader; each loads now, from memory
    // and from disk. The small ones are also cut and flipped like the seed.
    const QDir dir(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/chart/corpus"));
    const QStringList names = dir.entryList({"*.chart"}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 2);
    std::mt19937 rng(29);
    for (const QString& name : names) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        QVERIFY2(lastFuzzLoadCode() == mvx::ChartLoaded, qPrintable(name));
        QCOMPARE(loadFromDisk(bytes), int(mvx::ChartLoaded));
        if (name.startsWith("repeated")) continue;  // each load reads 131,000 polygons
        for (int round = 0; round < 60; ++round) {
            QByteArray damaged = bytes.left(round % 2 == 0 ? bytes.size() : std::uniform_int_distribution<qsizetype>(0, bytes.size())(rng));
            for (int i = 0; i < 4 && !damaged.isEmpty(); ++i) {
                const qsizetype p = std::uniform_int_distribution<qsizetype>(0, damaged.size() - 1)(rng);
                damaged[p] = static_cast<char>(damaged[p] ^ (1 << (rng() % 8)));
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(damaged.constData()),
                                   static_cast<size_t>(damaged.size()));
            const int code = lastFuzzLoadCode();
            QVERIFY(code == mvx::ChartLoaded || code == mvx::ChartInvalidFile || code == mvx::ChartNoDrawableLayer);
        }
    }
}

QTEST_GUILESS_MAIN(TestChartFuzz)
#include "tst_chart_fuzz.moc"
