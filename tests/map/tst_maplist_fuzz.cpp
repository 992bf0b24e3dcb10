// The map list fuzz target run as an ordinary test: every regression input of the corpus, then a
// fixed-seed run of random mutations of them, then inputs beyond the fuzzer's default length.

#include "MapListFuzz.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include "../support/CorpusMutation.h"

#include "map/MapListFile.h"

namespace {

int run(const QByteArray& in) {
    return runMapListFuzzInput(reinterpret_cast<const uint8_t*>(in.constData()), size_t(in.size()));
}

}  // namespace

class TestMapListFuzz : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const QDir dir(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/map/corpus"));
        inputs_ = readCorpus(dir.path());
        QCOMPARE(inputs_.size(), int(dir.entryList(QDir::Files).size()));
        QVERIFY(inputs_.size() >= 5);
    }

    void corpus() {
        int withMaps = 0;
        for (const QByteArray& in : std::as_const(inputs_)) withMaps += run(in) > 0;
        QVERIFY(withMaps >= 2);
        QVERIFY(withMaps < inputs_.size());
    }

    void mutations() {
        static const QByteArray tokens[] = {"[", "]", "[MapList]", "[maplist ]", "=", "\"", ";", "\r\n", "\n",
                                            "\r", " ", "\t", "MapCount=", "Map1=", "mAp2 = ", "-", "+",
                                            "2147483648", "\xEF\xBB\xBF", "\xD0\x9A", "\xC3\xA0", "\x00"};
        QRandomGenerator rng(20261209);
        int withMaps = 0;
        const int rounds = 6000;
        for (int i = 0; i < rounds; ++i) {
            const QByteArray in = mutatedInput(rng, inputs_, tokens, std::size(tokens), 8, 16);
            withMaps += run(in) > 0;
        }
        QVERIFY(withMaps > rounds / 20);
        QVERIFY(withMaps < rounds - rounds / 20);
    }

    // The largest count the reader takes, every position named, and a file of many sections.
    void largeInputs() {
        QByteArray full = "[MapList]\r\nMapCount=" + QByteArray::number(telvika::maplist::MaxMapCount) + "\r\n";
        for (int i = 1; i <= telvika::maplist::MaxMapCount; ++i)
            full += "Map" + QByteArray::number(i) + "=C:\\maps\\" + QByteArray::number(i) + ".chart\r\n";
        QCOMPARE(run(full), telvika::maplist::MaxMapCount);
        QByteArray sections;
        for (int i = 0; i < 5000; ++i) sections += "[S" + QByteArray::number(i) + "]\nk=v\n";
        QCOMPARE(run(sections + "[MapList]\nMapCount=1\nMap1=a\n"), 1);
    }

private:
    QList<QByteArray> inputs_;
};

QTEST_GUILESS_MAIN(TestMapListFuzz)
#include "tst_maplist_fuzz.moc"
