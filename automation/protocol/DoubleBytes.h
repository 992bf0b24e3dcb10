#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace telvika::protocol {

// Numeric arrays travel as one byte string of little-endian IEEE 754 doubles, 8 bytes each.
QByteArray doublesToBytes(const QVector<double>& values);
// False with *error when the length is not a multiple of 8.
bool bytesToDoubles(const QByteArray& bytes, QVector<double>* values, QString* error);

}  // namespace telvika::protocol
