// The map list fuzz target run as an ordinary test: every regression input of the corpus, then a
// fixed-seed run of random mutations of them, then inputs beyond the fuzzer's default length.

#include "MapListFuzz.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

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
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            inputs_ << f.readAll();
        }
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
            QByteArray in = inputs_[int(rng.bounded(inputs_.size()))];
            const int edits = 1 + int(rng.bounded(4));
            for (int e = 0; e < edits; ++e) {
                const int pos = in.isEmpty() ? 0 : int(rng.bounded(in.size()));
                switch (rng.bounded(5)) {
                    case 0: if (!in.isEmpty()) in[pos] = char(rng.bounded(256)); break;
                    case 1: {
                        const QByteArray& t = tokens[rng.bounded(int(std::size(tokens)))];
                        in.insert(pos, t.isEmpty() ? QByteArray(1, '\0') : t);
                        break;
                    }
                    case 2: in.remove(pos, 1 + int(rng.bounded(8))); break;
                    case 3: {
                        const QByteArray& other = inputs_[int(rng.bounded(inputs_.size()))];
                        in = in.left(pos) + other.mid(int(rng.bounded(other.size() + 1)));
                        break;
                    }
                    default: in.insert(pos, in.mid(pos, int(rng.bounded(16)))); break;
                }
            }
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
