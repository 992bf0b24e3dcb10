#pragma once

#include <QString>

namespace telvika::analysis {

// Where a file is written before it replaces its target: a temporary file beside the target (a
// symbolic link's target), with the target's suffix (drivers choose what to write by it). Only
// commit() puts it in place, as replaceFileWith does: forced to the disk, the old permissions
// kept, one rename; so the old file stays whole whatever fails before, and the temporary file
// never outlives this object.
class TSafeTarget {
public:
    explicit TSafeTarget(const QString& target);
    ~TSafeTarget();
    TSafeTarget(const TSafeTarget&) = delete;
    TSafeTarget& operator=(const TSafeTarget&) = delete;

    const QString& target() const { return target_; }
    const QString& tempPath() const { return temp_; }

    // Replaces the target by the written temporary file; false with a Russian message.
    bool commit(QString* error);

private:
    QString target_;
    QString temp_;
    bool committed_ = false;
};

// "Не удалось сохранить файл «…»: reason", the message of every failed save.
QString saveFailedText(const QString& target, const QString& reason);

}  // namespace telvika::analysis
