#include "dateiname.h"

#include <QFile>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace dravel::app {

QString steuerzeichenImNamen(const QString& name) {
    const bool steuerzeichen = std::any_of(
        name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    return steuerzeichen ? QStringLiteral("der Name enthält ein Steuerzeichen") : QString();
}

std::string dateinameVonBefehlszeile(const QString& option, const QString& wert) {
    // Qt's arguments went through a UTF-8 decoder that replaces what is not
    // UTF-8; the kernel still holds the bytes as they came.
    std::ifstream zeile("/proc/self/cmdline", std::ios::binary);
    const std::string alles((std::istreambuf_iterator<char>(zeile)),
                            std::istreambuf_iterator<char>());
    std::vector<std::string> argumente;
    for (std::size_t von = 0; von < alles.size();) {
        const std::size_t bis = std::min(alles.find('\0', von), alles.size());
        argumente.push_back(alles.substr(von, bis - von));
        von = bis + 1;
    }
    const std::string lang = "--" + option.toStdString();
    std::string gefunden = QFile::encodeName(wert).toStdString();
    // The last one counts, as with Qt's parser; only a value that decodes
    // to Qt's is taken, so a look-alike elsewhere cannot stand in.
    for (std::size_t i = 1; i < argumente.size(); ++i) {
        const std::string& a = argumente[i];
        std::string kandidat;
        if (a == lang && i + 1 < argumente.size()) {
            kandidat = argumente[++i];
        } else if (a.compare(0, lang.size() + 1, lang + "=") == 0) {
            kandidat = a.substr(lang.size() + 1);
        } else {
            continue;
        }
        if (QString::fromLocal8Bit(kandidat.data(), static_cast<qsizetype>(kandidat.size())) ==
            wert) {
            gefunden = kandidat;
        }
    }
    return gefunden;
}

}  // namespace dravel::app
