// The settings fuzz target run as an ordinary test: every regression input of the corpus, then a
// fixed-seed run of random mutations of them (byte flips, XML tokens, deletions, splices), then
// inputs too large for the fuzzer's default length.

#include "SettingsFuzz.h"
#include "settings/SettingsDocument.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include "../support/CorpusMutation.h"

namespace {

int run(const QByteArray& in) {
    return runSettingsFuzzInput(reinterpret_cast<const uint8_t*>(in.constData()), size_t(in.size()));
}

}  // namespace

class TestSettingsFuzz : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const QDir dir(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/settings/corpus"));
        inputs_ = readCorpus(dir.path());
        QCOMPARE(inputs_.size(), int(dir.entryList(QDir::Files).size()));
        QVERIFY(inputs_.size() >= 5);
        // The corpus's first document is the one a first start writes.
        QFile f(dir.filePath(QStringLiteral("default.xml")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), telvika::defaultSettingsDocument());
    }

    // The default document reads completely; the damaged ones each end in one of the outcomes.
    void corpus() {
        int counts[3] = {0, 0, 0};
        for (const QByteArray& in : std::as_const(inputs_)) ++counts[run(in)];
        QVERIFY(counts[2] >= 1);
        QVERIFY(counts[1] >= 1);
        QVERIFY(counts[0] >= 1);
    }

    void mutations() {
        static const QByteArray tokens[] = {"<", ">", "</", "/>", "\"", "&amp;", "&#x1;", "&#xd;", "<!--",
                                            "-->", "<![CDATA[", "]]>", "<?pi x?>", "\xEF\xBB\xBF", " ",
                                            "\r\n", "xmlns:a=\"u\" ", "<InfoPoints>", "<Cont>", "</Cont>",
                                            "true", "99999999999", "31.12.9999 23:59:59", "\xD0\x9A"};
        QRandomGenerator rng(20261208);
        int counts[3] = {0, 0, 0};
        const int rounds = 6000;
        for (int i = 0; i < rounds; ++i) {
            const QByteArray in = mutatedInput(rng, inputs_, tokens, std::size(tokens), 12, 24);
            ++counts[run(in)];
        }
        // Every outcome was reached; a crash or a broken promise would have aborted.
        QVERIFY(counts[0] > rounds / 50);
        QVERIFY(counts[1] > rounds / 50);
        QVERIFY(counts[2] > 0);
    }

    // Inputs far beyond the fuzzer's default length: deep nesting beside the Settings element
    // (kept and written back by a save) and a very long kind list.
    void largeInputs() {
        QFile f(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/settings/corpus/default.xml"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray doc = f.readAll();
        const qsizetype end = doc.indexOf("</AppSettings>");
        QVERIFY(end > 0);
        QByteArray deep = doc.left(end);
        for (int i = 0; i < 2000; ++i) deep += "<a>";
        for (int i = 0; i < 2000; ++i) deep += "</a>";
        QCOMPARE(run(deep + doc.mid(end)), 2);

        QByteArray many = doc;
        QByteArray kinds;
        for (int i = 14; i <= 3000; ++i)
            kinds += "<InfoPoints" + QByteArray::number(i) +
                     " name=\"k\" VisibleList=\"false\" VisibleIcon=\"true\" query=\"q\" Icon=\"I\" />\r\n";
        many.insert(many.indexOf("</InfoPoints>"), kinds);
        QCOMPARE(run(many), 2);
        QCOMPARE(run(QByteArray(200000, '<')), 0);
    }

private:
    QList<QByteArray> inputs_;
};

QTEST_GUILESS_MAIN(TestSettingsFuzz)
#include "tst_settings_fuzz.moc"
