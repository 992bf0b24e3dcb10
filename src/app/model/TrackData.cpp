#include "app/model/TrackData.h"

#include "common/Error.h"

using telvika::Error;

TTrackData::TTrackData(QVector<double> values) : values_(std::move(values)) {
    if (values_.size() % ValuesPerPoint != 0)
        throw Error(QStringLiteral("Массив трека содержит %1 значений, а должно быть кратное пяти")
                        .arg(values_.size()));
}

double TTrackData::element(int index) const {
    if (index < 1 || index > values_.size())
        throw Error(QStringLiteral("Индекс %1 вне границ массива трека (1..%2)").arg(index).arg(values_.size()));
    return values_[index - 1];
}

double TTrackData::value(int k, int field) const {
    if (k < 0 || k >= pointCount())
        throw Error(QStringLiteral("Точка %1 вне границ трека (0..%2)").arg(k).arg(pointCount() - 1));
    return values_[k * ValuesPerPoint + field];
}
