// Frames, messages and numeric arrays of the wire protocol, and a fuzz run over a regression
// corpus and random mutations of valid streams.
#include "protocol/DoubleBytes.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QCborMap>
#include <QDir>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

using namespace telvika::protocol;

namespace {
QByteArray frameOf(const Message& m) { return encodeMessageFrame(m); }

QByteArray cbor(const QCborValue& v) { return v.toCbor(); }
}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void framesArriveInAnyPieces() {
        const QByteArray stream = frameOf(Message::request(1, QStringLiteral("GroupsCount"))) +
                                  frameOf(Message::notification(EventEndComputing)) +
                                  frameOf(Message::reply(1, 7));
        // Byte by byte, then all at once: the same three frames come out.
        for (int piece : {1, 3, int(stream.size())}) {
            FrameReader reader(1024);
            QList<QByteArray> frames;
            QByteArray frame;
            QString error;
            for (int i = 0; i < stream.size(); i += piece) {
                reader.append(stream.mid(i, piece));
                FrameReader::Status s;
                while ((s = reader.next(&frame, &error)) == FrameReader::Status::Frame) frames << frame;
                QCOMPARE(s, FrameReader::Status::NeedMore);
            }
            QCOMPARE(frames.size(), 3);
            Message m;
            QVERIFY(decodeMessage(frames[2], &m, &error));
            QCOMPARE(m.result.toInteger(), 7);
            QCOMPARE(reader.buffered(), 0);
        }
    }

    void wholeFramesEqualHeaderPlusPayload() {
        const Message messages[] = {Message::request(3, QStringLiteral("SetTripIndex"), QCborArray{2}),
                                    Message::bytesReply(4, doublesToBytes({1.0, 2.0})),
                                    Message::notification(EventChangeCarsList)};
        for (const Message& m : messages) QCOMPARE(encodeMessageFrame(m), FrameReader::encode(encodeMessage(m)));
        // A byte-string result comes back apart from the CBOR tree, and a byte string is a byte
        // string whichever way it was put in.
        Message back;
        QString error;
        QVERIFY(decodeMessage(encodeMessage(Message::bytesReply(4, doublesToBytes({1.0, 2.0}))), &back, &error));
        QVERIFY(back.resultIsBytes);
        QCOMPARE(back.resultBytes, doublesToBytes({1.0, 2.0}));
        QVERIFY(decodeMessage(encodeMessage(Message::reply(5, QCborValue(QByteArray("ab")))), &back, &error));
        QVERIFY(back.resultIsBytes);
        QCOMPARE(back.resultBytes, QByteArray("ab"));
    }

    // A long text result comes back as its UTF-8 bytes, whole, beside the CBOR tree.
    void longTextResultKeptAsUtf8() {
        const QString text = QString(LongTextResult, QLatin1Char('7')) + QStringLiteral(" ё,");
        Message back;
        QString error;
        QVERIFY(decodeMessage(encodeMessage(Message::reply(6, text)), &back, &error));
        QVERIFY(back.resultIsText);
        QCOMPARE(QString::fromUtf8(back.resultUtf8), text);
        QVERIFY(decodeMessage(encodeMessage(Message::reply(7, QStringLiteral("short"))), &back, &error));
        QVERIFY(!back.resultIsText);
        QCOMPARE(back.result.toString(), QStringLiteral("short"));
    }

    void absurdLengthsBreakTheStreamForGood() {
        for (quint32 length : {0u, 1025u, 0xFFFFFFFFu}) {
            FrameReader reader(1024);
            QByteArray header(4, '\0');
            qToBigEndian(length, header.data());
            reader.append(header);
            QByteArray frame;
            QString error;
            QCOMPARE(reader.next(&frame, &error), FrameReader::Status::Failed);
            QVERIFY(error.contains(QString::number(length)));
            // A valid frame afterwards does not resynchronise the stream.
            reader.append(frameOf(Message::notification(EventCloseServer)));
            QCOMPARE(reader.next(&frame, &error), FrameReader::Status::Failed);
        }
        FrameReader exact(8);
        exact.append(FrameReader::encode(QByteArray(8, 'x')));
        QByteArray frame;
        QString error;
        QCOMPARE(exact.next(&frame, &error), FrameReader::Status::Frame);
    }

    // Memory follows the bytes that arrived, not the length a header announces: a header for 1 GiB
    // with a few bytes behind it holds a few bytes, and a large frame in pieces still comes out whole.
    void announcedLengthReservesNothing() {
        FrameReader reader(MaxReplyFrame);
        QByteArray header(4, '\0');
        qToBigEndian<quint32>(static_cast<quint32>(MaxReplyFrame), header.data());
        reader.append(header + QByteArray(10, 'x'));
        QByteArray frame;
        QString error;
        QCOMPARE(reader.next(&frame, &error), FrameReader::Status::NeedMore);
        QVERIFY2(reader.capacity() < 1024 * 1024, qPrintable(QString::number(reader.capacity())));

        const QByteArray payload(3 * 1024 * 1024 + 17, 'y');
        FrameReader pieces(MaxReplyFrame);
        const QByteArray stream = FrameReader::encode(payload);
        for (qsizetype at = 0; at < stream.size(); at += 65536) {
            pieces.append(stream.mid(at, 65536));
            QVERIFY(pieces.capacity() <= 2 * (at + 65536) + 4096);
            if (at + 65536 < stream.size()) QCOMPARE(pieces.next(&frame, &error), FrameReader::Status::NeedMore);
        }
        QCOMPARE(pieces.next(&frame, &error), FrameReader::Status::Frame);
        QCOMPARE(frame, payload);
    }

    // A reply longer than the client accepts becomes an error reply to the same request; one within
    // the limit goes out unchanged.
    void oversizedReplyBecomesAnErrorReply() {
        const Message big = Message::bytesReply(42, QByteArray(5000, 'z'));
        const QByteArray fits = encodeReplyFrame(big, 6000);
        QCOMPARE(fits, encodeMessageFrame(big));
        const QByteArray refused = encodeReplyFrame(big, 4096);
        QVERIFY(refused.size() < 4096);
        FrameReader reader(4096);
        reader.append(refused);
        QByteArray frame;
        QString error;
        QCOMPARE(reader.next(&frame, &error), FrameReader::Status::Frame);
        Message m;
        QVERIFY(decodeMessage(frame, &m, &error));
        QCOMPARE(m.id, 42);
        QVERIFY(m.failed());
        QVERIFY2(m.error.contains(QStringLiteral("слишком велик")) && m.error.contains(QStringLiteral("4096")),
                 qPrintable(m.error));
    }

    void messagesRoundTrip() {
        QString error;
        Message m;
        const QCborArray args{QStringLiteral("grp"), 101, QStringLiteral("01.03.2026 00:00:00")};
        QVERIFY(decodeMessage(encodeMessage(Message::request(42, QStringLiteral("StartComputing"), args)), &m, &error));
        QCOMPARE(m.kind, Message::Kind::Request);
        QCOMPARE(m.id, 42);
        QCOMPARE(m.op, QStringLiteral("StartComputing"));
        QCOMPARE(m.args, args);

        QVERIFY(decodeMessage(encodeMessage(Message::errorReply(5, QStringLiteral("Группа не найдена"))), &m, &error));
        QVERIFY(m.failed());
        QCOMPARE(m.error, QStringLiteral("Группа не найдена"));

        QVERIFY(decodeMessage(encodeMessage(Message::reply(6, QCborValue(nullptr))), &m, &error));
        QVERIFY(!m.failed());
        QVERIFY(m.result.isNull());

        for (int event : {201, 202, 203, 204, 205}) {
            QVERIFY(decodeMessage(encodeMessage(Message::notification(event)), &m, &error));
            QCOMPARE(m.kind, Message::Kind::Notification);
            QCOMPARE(m.event, event);
        }
    }

    void malformedMessagesAreRejected_data() {
        QTest::addColumn<QByteArray>("payload");
        QCborMap both;
        both.insert(QStringLiteral("id"), 1);
        both.insert(QStringLiteral("result"), 1);
        both.insert(QStringLiteral("error"), QStringLiteral("x"));
        QCborMap neither;
        neither.insert(QStringLiteral("id"), 1);
        QCborMap badEvent;
        badEvent.insert(QStringLiteral("event"), 206);
        QCborMap noId;
        noId.insert(QStringLiteral("op"), QStringLiteral("GroupsCount"));
        QCborMap zeroId;
        zeroId.insert(QStringLiteral("id"), 0);
        zeroId.insert(QStringLiteral("op"), QStringLiteral("GroupsCount"));
        QCborMap argsNotArray;
        argsNotArray.insert(QStringLiteral("id"), 3);
        argsNotArray.insert(QStringLiteral("op"), QStringLiteral("SetTripIndex"));
        argsNotArray.insert(QStringLiteral("args"), 1);
        QCborMap emptyError;
        emptyError.insert(QStringLiteral("id"), 1);
        emptyError.insert(QStringLiteral("error"), QString());

        QTest::newRow("not CBOR") << QByteArray("\xff\xff\x00", 3);
        QTest::newRow("truncated") << cbor(QCborValue(QStringLiteral("abcdef"))).left(3);
        QTest::newRow("not a map") << cbor(QCborArray{1, 2});
        QTest::newRow("trailing bytes") << cbor(QCborValue(QCborMap{{QStringLiteral("event"), 201}})) + "\x01";
        QTest::newRow("result and error") << cbor(both);
        QTest::newRow("neither result nor error") << cbor(neither);
        QTest::newRow("unknown event") << cbor(badEvent);
        QTest::newRow("request without id") << cbor(noId);
        QTest::newRow("request with id 0") << cbor(zeroId);
        QTest::newRow("args not an array") << cbor(argsNotArray);
        QTest::newRow("empty error text") << cbor(emptyError);
    }

    void malformedMessagesAreRejected() {
        QFETCH(QByteArray, payload);
        Message m;
        QString error;
        QVERIFY(!decodeMessage(payload, &m, &error));
        QVERIFY(!error.isEmpty());
    }

    void doubleArraysAreLittleEndianBytes() {
        const QVector<double> values{0.0, -1.5, 46083.4166666667, std::numeric_limits<double>::infinity(), NAN,
                                     std::numeric_limits<double>::denorm_min()};
        const QByteArray bytes = doublesToBytes(values);
        QCOMPARE(bytes.size(), values.size() * 8);
        // -1.5 is 0xBFF8000000000000: little-endian, its last byte is 0xBF.
        QCOMPARE(static_cast<unsigned char>(bytes[15]), 0xBF);
        QCOMPARE(static_cast<unsigned char>(bytes[14]), 0xF8);
        QVector<double> back;
        QString error;
        QVERIFY(bytesToDoubles(bytes, &back, &error));
        QCOMPARE(back.size(), values.size());
        for (int i = 0; i < values.size(); ++i)
            QVERIFY(std::memcmp(&back[i], &values[i], sizeof(double)) == 0);
        QVERIFY(!bytesToDoubles(bytes.left(13), &back, &error));
        QVERIFY(error.contains(QStringLiteral("13")));
        QVERIFY(bytesToDoubles(QByteArray(), &back, &error));
        QVERIFY(back.isEmpty());
    }

    void fuzzCorpusAndMutations() {
        QList<QByteArray> seeds;
        const QDir corpus(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/automation/corpus"));
        for (const QString& name : corpus.entryList(QDir::Files)) {
            QFile f(corpus.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            seeds << f.readAll();
        }
        QVERIFY(seeds.size() >= 4);
        seeds << frameOf(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}));
        seeds << frameOf(Message::reply(9, doublesToBytes({1, 2, 3, 4, 5})));
        for (const QByteArray& s : seeds)
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.constData()), static_cast<size_t>(s.size()));

        QRandomGenerator rng(20091);
        for (int round = 0; round < 20000; ++round) {
            QByteArray data = seeds[rng.bounded(seeds.size())];
            const int edits = 1 + rng.bounded(4);
            for (int e = 0; e < edits; ++e) {
                const int op = rng.bounded(4);
                const int at = data.isEmpty() ? 0 : rng.bounded(data.size());
                if (op == 0 && !data.isEmpty()) data[at] = static_cast<char>(rng.bounded(256));
                else if (op == 1) data.insert(at, static_cast<char>(rng.bounded(256)));
                else if (op == 2 && !data.isEmpty()) data.remove(at, 1 + rng.bounded(qMin<int>(8, data.size() - at)));
                else data.append(seeds[rng.bounded(seeds.size())].left(rng.bounded(16)));
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size()));
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
