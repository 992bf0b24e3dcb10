// Random mutations of the sample files through the fuzz entry point of the track readers: they
// must reject or read every input without crashing (the entry point aborts on a broken result).
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int run(const QByteArray& bytes) {
    return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                  static_cast<size_t>(bytes.size()));
}

QByteArray mutate(QByteArray input, QRandomGenerator& rng, const QVector<QByteArray>& corpus) {
    static const QByteArray tokens[] = {"<trkpt lat=\"1\" lon=\"2\">", "</trkpt>", "<time>", "</time>",
                                        "\"", ";", ",", "\n", "NaN", "1e308", "-", "<speed>",
                                        "&amp;", "<![CDATA[", "\xEF\xBB\xBF", "2025-06-01T08:00:00Z"};
    const int edits = 1 + rng.bounded(8);
    for (int e = 0; e < edits; ++e) {
        const int pos = input.isEmpty() ? 0 : rng.bounded(static_cast<int>(input.size()));
        switch (rng.bounded(6)) {
        case 0:
            if (!input.isEmpty()) input[pos] = static_cast<char>(rng.bounded(256));
            break;
        case 1:
            input.insert(pos, tokens[rng.bounded(static_cast<int>(std::size(tokens)))]);
            break;
        case 2:
            input.remove(pos, rng.bounded(16));
            break;
        case 3:
            input.truncate(pos);
            break;
        case 4: {
            const QByteArray& other = corpus[rng.bounded(static_cast<int>(corpus.size()))];
            input.insert(pos, other.mid(rng.bounded(static_cast<int>(other.size())), rng.bounded(200)));
            break;
        }
        default:
            if (!input.isEmpty()) input.insert(pos, input.mid(pos, rng.bounded(64)));
        }
    }
    return input;
}

}  // namespace

class TestImportFuzz : public QObject {
    Q_OBJECT

private slots:
    void corpusAndMutations() {
        QDir dir(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/import/corpus"));
        QVector<QByteArray> corpus;
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            corpus << f.readAll();
        }
        QVERIFY(corpus.size() >= 5);
        for (const QByteArray& c : corpus) QCOMPARE(run(c), 0);
        QRandomGenerator rng(20091);
        for (int i = 0; i < 20000; ++i)
            QCOMPARE(run(mutate(corpus[i % corpus.size()], rng, corpus)), 0);
        QCOMPARE(run(QByteArray()), 0);
        QCOMPARE(run(QByteArray(100000, '<')), 0);
    }
};

QTEST_GUILESS_MAIN(TestImportFuzz)
#include "tst_import_fuzz.moc"
