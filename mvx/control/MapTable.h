#pragma once

#include "mvx/IMVControl.h"

#include <QString>
#include <QVariant>
#include <QVector>

namespace mvx {

// An in-memory table of typed fields ("TEXT" or "DOUBLE") and records with one current record.
// Values are stored converted: TEXT fields hold a QString, DOUBLE fields a double; an unset value
// is a null QVariant.
class MapTable : public IMapTable {
public:
    void AddField(const QString& type, const QString& name, const QString& caption) override;
    void AddRecord() override;
    void SetFieldValue(const QVariant& value, int fieldIndex) override;
    int GetRecordCount() const override { return static_cast<int>(records_.size()); }
    void MoveFirst() override { current_ = records_.isEmpty() ? -1 : 0; }
    void DeleteRecord() override;

    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    QString FieldName(int index) const override;
    QString FieldType(int index) const override;
    QString FieldCaption(int index) const override;
    QVariant FieldValue(int record, int fieldIndex) const override;

    int currentRecord() const { return current_; }
    // Index of the field with this name (case-insensitive), or -1.
    int fieldIndex(const QString& name) const;

private:
    struct Field {
        QString type;
        QString name;
        QString caption;
    };
    void checkField(int index) const;

    QVector<Field> fields_;
    QVector<QVector<QVariant>> records_;
    int current_ = -1;
};

}  // namespace mvx
