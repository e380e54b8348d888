#include "ui/kit/qt_text.h"

#include <QStringList>

namespace velinor {

QString QtFileFilter(const std::string& filter) {
    QStringList parts = Q(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (label.isEmpty()) continue;
        if (const qsizetype open = label.indexOf('('); open > 0) label = label.left(open).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString one = pattern.trimmed() == "*.*" ? QString("*") : pattern.trimmed();
            patterns << one;
            if (one != one.toUpper()) patterns << one.toUpper();
        }
        entries << label + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

}  // namespace velinor
