#include "maskiert.h"

namespace dravel::app {

QString maskiert(QStringView text) {
    QString ergebnis;
    ergebnis.reserve(text.size());
    for (const QChar zeichen : text) {
        const char16_t c = zeichen.unicode();
        switch (c) {
            case u'\\':
                ergebnis += QLatin1String("\\\\");
                continue;
            case u'\n':
                ergebnis += QLatin1String("\\n");
                continue;
            case u'\r':
                ergebnis += QLatin1String("\\r");
                continue;
            case u'\t':
                ergebnis += QLatin1String("\\t");
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7f) {
            ergebnis += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        } else if (c >= 0x80 && c < 0xa0) {
            ergebnis += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        } else {
            ergebnis += zeichen;
        }
    }
    return ergebnis;
}

}  // namespace dravel::app
