// libFuzzer entry point for the wire protocol readers: frame splitting, message decoding and
// numeric arrays. Built into the protocol test (g++ has no libFuzzer); with clang it can be linked
// with -fsanitize=fuzzer as it stands.
#include "protocol/DoubleBytes.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace telvika::protocol;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Feed the stream in two pieces, split where the first byte says, as a socket might deliver it.
    FrameReader reader(1 << 16);
    const qsizetype cut = size > 0 ? static_cast<qsizetype>(data[0]) % (bytes.size() + 1) : 0;
    reader.append(bytes.left(cut));
    reader.append(bytes.mid(cut));
    QByteArray frame;
    QString error;
    while (reader.next(&frame, &error) == FrameReader::Status::Frame) {
        Message m;
        if (decodeMessage(frame, &m, &error) && m.result.isByteArray()) {
            QVector<double> values;
            bytesToDoubles(m.result.toByteArray(), &values, &error);
        }
    }
    // The whole input as one payload, too.
    Message m;
    decodeMessage(bytes, &m, &error);
    return 0;
}
