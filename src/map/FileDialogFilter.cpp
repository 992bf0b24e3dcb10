#include "map/FileDialogFilter.h"

#include <QStringList>

namespace telvika {

QString qtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns;
        if (i + 1 < parts.size())
            for (const QString& p : parts[i + 1].split(u';', Qt::SkipEmptyParts))
                if (!p.trimmed().isEmpty()) patterns.append(p.trimmed());
        if (patterns.isEmpty()) patterns.append(QStringLiteral("*"));
        const QString list = patterns.join(u' ');
        if (description.isEmpty())
            filters.append(list);
        else if (description.endsWith(u'(' + list + u')'))
            filters.append(description);
        else
            filters.append(description + QStringLiteral(" (") + list + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace telvika
