#pragma once

#include "MapObject.h"

#include <QString>
#include <QVector>

namespace mvx {

// A named set of objects as loaded from one table under one command and default style.
struct ObjectSet {
    QString name;
    QString command;
    QString defaultStyle;
    QVector<MapObject> objects;
    int skippedRecords = 0;
};

}  // namespace mvx
