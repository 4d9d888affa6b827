#include "zeit.h"

#include <QLocale>
#include <QRegularExpression>

namespace dravel {

QString zeitText(const QTime& zeit) {
    // The long format may carry a time zone ("t"); drop it and the blanks
    // around it, and make sure the seconds are there.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    format = format.trimmed();
    if (!format.contains(u's')) format = QLocale().timeFormat(QLocale::ShortFormat) + QStringLiteral(":ss");
    return QLocale().toString(zeit, format);
}

}  // namespace dravel
