#include "protocol/DoubleBytes.h"

#include <QSysInfo>
#include <QtEndian>

#include <cstring>

namespace telvika::protocol {

QByteArray doublesToBytes(const QVector<double>& values) {
    QByteArray out(static_cast<qsizetype>(values.size()) * 8, Qt::Uninitialized);
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        if (!values.isEmpty()) std::memcpy(out.data(), values.constData(), out.size());
    } else {
        char* p = out.data();
        for (double v : values) {
            qToLittleEndian<double>(v, p);
            p += 8;
        }
    }
    return out;
}

bool bytesToDoubles(const QByteArray& bytes, QVector<double>* values, QString* error) {
    if (bytes.size() % 8 != 0) {
        if (error)
            *error = QStringLiteral("Длина числового массива (%1 байт) не кратна 8").arg(bytes.size());
        return false;
    }
    const qsizetype n = bytes.size() / 8;
    values->resize(n);
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        if (n > 0) std::memcpy(values->data(), bytes.constData(), bytes.size());
    } else {
        for (qsizetype i = 0; i < n; ++i) (*values)[i] = qFromLittleEndian<double>(bytes.constData() + 8 * i);
    }
    return true;
}

}  // namespace telvika::protocol
