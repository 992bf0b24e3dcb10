// The grammar fuzz target run as an ordinary test: every regression input of the corpus, then a
// fixed-seed run of random mutations of them (byte flips, insertions, deletions, splices).

#include "GrammarFuzz.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

class TestFuzzCorpus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void corpus();
    void mutations();

private:
    QList<QByteArray> inputs_;
};

void TestFuzzCorpus::initTestCase() {
    const QDir dir(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/mvx/corpus"));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        inputs_ << f.readAll();
    }
    QVERIFY(inputs_.size() >= 10);
}

void TestFuzzCorpus::corpus() {
    int built = 0;
    for (const QByteArray& in : std::as_const(inputs_))
        built += runGrammarFuzzInput(reinterpret_cast<const uint8_t*>(in.constData()), size_t(in.size()));
    // The corpus holds the player's own strings: most of them must build a set.
    QVERIFY(built >= inputs_.size() / 2);
}

void TestFuzzCorpus::mutations() {
    QRandomGenerator rng(20261207);
    const char alphabet[] = "lamtb'[],;:=() -.0123456789rgbon\n\xd0\x9a";
    int built = 0, refused = 0;
    const int rounds = 20000;
    for (int i = 0; i < rounds; ++i) {
        QByteArray in = inputs_[int(rng.bounded(inputs_.size()))];
        const int edits = 1 + int(rng.bounded(4));
        for (int e = 0; e < edits; ++e) {
            const int pos = in.isEmpty() ? 0 : int(rng.bounded(in.size()));
            switch (rng.bounded(5)) {
                case 0: if (!in.isEmpty()) in[pos] = char(rng.bounded(256)); break;
                case 1: in.insert(pos, alphabet[rng.bounded(int(sizeof(alphabet) - 1))]); break;
                case 2: in.remove(pos, 1 + int(rng.bounded(8))); break;
                case 3: {
                    const QByteArray& other = inputs_[int(rng.bounded(inputs_.size()))];
                    in = in.left(pos) + other.mid(int(rng.bounded(other.size() + 1)));
                    break;
                }
                default: in.insert(pos, in.mid(pos, int(rng.bounded(16)))); break;
            }
        }
        const int r = runGrammarFuzzInput(reinterpret_cast<const uint8_t*>(in.constData()), size_t(in.size()));
        built += r;
        refused += 1 - r;
    }
    // Both paths were exercised; a crash or a broken promise would have aborted.
    QVERIFY(built > rounds / 20);
    QVERIFY(refused > rounds / 20);
}

QTEST_MAIN(TestFuzzCorpus)
#include "tst_fuzz_corpus.moc"
