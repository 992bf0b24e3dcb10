#include "MapTable.h"

#include <cmath>

namespace mvx {

void MapTable::AddField(const QString& type, const QString& name, const QString& caption) {
    const QString t = type.trimmed().toUpper();
    if (t != u"TEXT" && t != u"DOUBLE")
        throw MapError(QStringLiteral("Неизвестный тип поля \"%1\": допустимы TEXT и DOUBLE").arg(type));
    if (name.trimmed().isEmpty()) throw MapError(QStringLiteral("Пустое имя поля"));
    if (fieldIndex(name) >= 0) throw MapError(QStringLiteral("Поле \"%1\" уже есть в таблице").arg(name));
    fields_.append({t, name.trimmed(), caption});
    for (auto& r : records_) r.append(QVariant());
}

void MapTable::AddRecord() {
    records_.append(QVector<QVariant>(fields_.size()));
    current_ = static_cast<int>(records_.size()) - 1;
}

void MapTable::checkField(int index) const {
    if (index < 0 || index >= fields_.size())
        throw MapError(QStringLiteral("Неверный номер поля: %1 (полей в таблице: %2)").arg(index).arg(fields_.size()));
}

void MapTable::SetFieldValue(const QVariant& value, int fieldIndex) {
    checkField(fieldIndex);
    if (current_ < 0 || current_ >= records_.size()) throw MapError(QStringLiteral("В таблице нет текущей записи"));
    const Field& f = fields_[fieldIndex];
    QVariant stored;
    if (!value.isValid() || value.isNull()) {
        stored = QVariant();
    } else if (f.type == u"TEXT") {
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
            stored = QString::number(value.toDouble(), 'g', 17);
        else if (value.canConvert<QString>())
            stored = value.toString();
        else
            throw MapError(QStringLiteral("Значение нельзя записать в текстовое поле \"%1\"").arg(f.name));
    } else {
        bool ok = false;
        double d = 0;
        if (value.typeId() == QMetaType::QString)
            d = value.toString().trimmed().toDouble(&ok);
        else
            d = value.toDouble(&ok);
        if (!ok)
            throw MapError(QStringLiteral("Значение \"%1\" не является числом (поле \"%2\")").arg(value.toString(), f.name));
        stored = d;  // NaN and infinities are kept; the object set skips such records
    }
    records_[current_][fieldIndex] = stored;
}

void MapTable::DeleteRecord() {
    if (current_ < 0 || current_ >= records_.size()) throw MapError(QStringLiteral("В таблице нет текущей записи"));
    records_.removeAt(current_);
    if (current_ >= records_.size()) current_ = static_cast<int>(records_.size()) - 1;
}

QString MapTable::FieldName(int index) const {
    checkField(index);
    return fields_[index].name;
}

QString MapTable::FieldType(int index) const {
    checkField(index);
    return fields_[index].type;
}

QString MapTable::FieldCaption(int index) const {
    checkField(index);
    return fields_[index].caption;
}

QVariant MapTable::FieldValue(int record, int fieldIndex) const {
    checkField(fieldIndex);
    if (record < 0 || record >= records_.size())
        throw MapError(QStringLiteral("Неверный номер записи: %1 (записей в таблице: %2)").arg(record).arg(records_.size()));
    return records_[record][fieldIndex];
}

int MapTable::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace mvx
