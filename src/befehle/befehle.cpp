#include "befehle.h"

#include <QCommandLineParser>
#include <QLocale>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "logik/abbruch.h"
#include "befehle/befehle_logik.h"
#include "logik/kommandozeile.h"
#include "logik/mitschnitt.h"
#include "logik/sprache.h"
#include "logik/ausgabemaschine.h"
#include "logik/echtzeit.h"
#include "logik/generator_logik.h"
#include "port/port.h"

namespace dravel::app {
namespace {

using Uhr = std::chrono::steady_clock;

// A refused command line: one German line for standard error.
class Ablehnung : public std::runtime_error {
public:
    explicit Ablehnung(const QString& zeile) : std::runtime_error(zeile.toStdString()) {}
};

const QString kZahlformen = QStringLiteral("dezimal, 0x…, &H… oder 0b…");
const QString kEndstatusText = QStringLiteral(
    "\nRückgabewert der Befehle: 0 fertig, 1 Ausgabe nicht schreibbar oder Mitschnitt "
    "unvollständig (Datenträger voll), 2 Aufruf abgelehnt, Port oder Mitschnittdatei nicht "
    "verfügbar, 128+N nach Signal N.\n");
constexpr double kLängsteDauer = 1e9;  // in the unit of the option; about eleven days in ms

// Standard output in large blocks: one system call per 64 KiB, not per line.
class Ausgabe {
public:
    // Room for one line; the line ends where `ende` says.
    char* zeile() {
        if (belegt_ + kZeile > puffer_.size()) leere();
        return puffer_.data() + belegt_;
    }
    void fertig(char* ende) { belegt_ = static_cast<std::size_t>(ende - puffer_.data()); }

    // Hands everything to the system now, for a reader that waits.
    void leere() {
        if (belegt_ > 0 && !fehler_) {
            fehler_ = std::fwrite(puffer_.data(), 1, belegt_, stdout) != belegt_ ||
                      std::fflush(stdout) != 0;
            if (fehler_) fehlernummer_ = errno;
        }
        belegt_ = 0;
    }
    [[nodiscard]] bool fehler() const { return fehler_; }
    [[nodiscard]] int fehlernummer() const { return fehlernummer_; }

private:
    static constexpr std::size_t kZeile = 64;
    std::array<char, 1 << 16> puffer_;
    std::size_t belegt_ = 0;
    bool fehler_ = false;
    int fehlernummer_ = 0;
};

// --- reading the arguments ------------------------------------------------

std::uint16_t adresseAus(const QString& text, const QString& was) {
    const auto zahl = ganzzahlAusArgument(text, 0xFFFF);
    if (!zahl) {
        throw Ablehnung(QStringLiteral("%1 „%2“ ist keine Portadresse 0..65535 (%3).")
                            .arg(was, text, kZahlformen));
    }
    return static_cast<std::uint16_t>(*zahl);
}

std::uint8_t byteAus(const QString& text) {
    const auto zahl = ganzzahlAusArgument(text, 255);
    if (!zahl) {
        throw Ablehnung(
            QStringLiteral("WERT „%1“ ist kein Byte 0..255 (%2).").arg(text, kZahlformen));
    }
    return static_cast<std::uint8_t>(*zahl);
}

std::uint64_t ganzzahlOption(const QCommandLineParser& parser, const QString& name,
                             std::uint64_t kleinste, std::uint64_t größte, std::uint64_t vorgabe) {
    if (!parser.isSet(name)) return vorgabe;
    const QString text = parser.value(name);
    const auto zahl = ganzzahlAusArgument(text, größte);
    if (!zahl || *zahl < kleinste) {
        const QString bereich = größte == UINT64_MAX
                                    ? QStringLiteral("ab %1").arg(kleinste)
                                    : QStringLiteral("von %1 bis %2").arg(kleinste).arg(größte);
        throw Ablehnung(
            QStringLiteral("--%1 „%2“ ist keine ganze Zahl %3.").arg(name, text, bereich));
    }
    return *zahl;
}

// A duration option; `einheit` names it in the message ("Millisekunden").
std::optional<double> dauerOption(const QCommandLineParser& parser, const QString& name,
                                  const QString& einheit) {
    if (!parser.isSet(name)) return std::nullopt;
    const QString text = parser.value(name);
    const auto dauer = dauerAusArgument(text, QLocale(), kLängsteDauer);
    if (!dauer) {
        const QString beispiel = QStringLiteral("0") + QLocale().decimalPoint() + u'5';
        throw Ablehnung(
            QStringLiteral("--%1 „%2“ ist keine Dauer in %3 (zum Beispiel 5 oder %4, höchstens "
                           "10⁹).")
                .arg(name, text, einheit, beispiel));
    }
    return dauer;
}

Uhr::duration alsDauer(double wert, double sekundenJeEinheit) {
    return std::chrono::duration_cast<Uhr::duration>(
        std::chrono::nanoseconds(std::llround(wert * sekundenJeEinheit * 1e9)));
}

// Refuses too few arguments with `fehlt`, and the first one too many.
void prüfeAnzahl(const QStringList& argumente, qsizetype kleinste, qsizetype größte,
                 const QString& fehlt) {
    if (argumente.size() < kleinste) throw Ablehnung(fehlt);
    if (argumente.size() > größte) {
        throw Ablehnung(QStringLiteral("Unerwartetes Argument „%1“.").arg(argumente.at(größte)));
    }
}

// --- running ----------------------------------------------------------------

// The next deadline of a fixed schedule. A step that comes later than a whole
// interval restarts the schedule from now instead of catching up in a burst.
Uhr::time_point nächsteFrist(Uhr::time_point frist, Uhr::duration schritt) {
    frist += schritt;
    const auto jetzt = Uhr::now();
    return jetzt - frist > schritt ? jetzt : frist;
}

int endstatus(Ausgabe& ausgabe) {
    ausgabe.leere();
    if (const int signal = abbruchsignal()) return 128 + signal;
    if (ausgabe.fehler()) {
        std::fprintf(stderr, "dravel: Die Standardausgabe lässt sich nicht schreiben: %s\n",
                     std::strerror(ausgabe.fehlernummer()));
        return 1;
    }
    return 0;
}

// --- lesen ------------------------------------------------------------------

struct Lesen {
    std::uint16_t adresse = 0;
    std::uint64_t anzahl = 1;
    Uhr::duration intervall{};
    char* (*schreibe)(char*, std::uint8_t) = schreibeDezimal;
};

Lesen leseLesen(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("lesen braucht eine ADRESSE."));
    Lesen l;
    l.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    l.anzahl = ganzzahlOption(parser, QStringLiteral("anzahl"), 1, UINT64_MAX, 1);
    l.intervall =
        alsDauer(dauerOption(parser, QStringLiteral("intervall"), QStringLiteral("Millisekunden"))
                     .value_or(0),
                 1e-3);
    const bool hex = parser.isSet(QStringLiteral("hex"));
    const bool bin = parser.isSet(QStringLiteral("bin"));
    if (hex && bin) throw Ablehnung(QStringLiteral("--hex und --bin schließen einander aus."));
    if (hex) l.schreibe = schreibeHex;
    if (bin) l.schreibe = schreibeBinär;
    return l;
}

int lese(const Lesen& l) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(l.adresse);
    auto frist = Uhr::now();
    // A reader that went away ends the reads too (SIGPIPE, or a write error).
    for (std::uint64_t i = 0; i < l.anzahl && !ausgabe.fehler(); ++i) {
        if (i > 0 && l.intervall > Uhr::duration::zero()) {
            ausgabe.leere();  // the reader sees each value when it is read
            frist = nächsteFrist(frist, l.intervall);
            if (!warteBis(frist)) break;
        }
        if (abbruchsignal() != 0) break;
        const auto wert = static_cast<std::uint8_t>(Inp32(adresse));
        char* ende = l.schreibe(ausgabe.zeile(), wert);
        *ende++ = '\n';
        ausgabe.fertig(ende);
    }
    return endstatus(ausgabe);
}

// --- schreiben --------------------------------------------------------------

struct Schreiben {
    std::uint16_t adresse = 0;
    std::vector<std::uint8_t> werte;
    Uhr::duration intervall{};
};

Schreiben leseSchreiben(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 2, argumente.size(),
                QStringLiteral("schreiben braucht eine ADRESSE und mindestens einen WERT."));
    Schreiben s;
    s.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    for (qsizetype i = 1; i < argumente.size(); ++i) s.werte.push_back(byteAus(argumente.at(i)));
    s.intervall =
        alsDauer(dauerOption(parser, QStringLiteral("intervall"), QStringLiteral("Millisekunden"))
                     .value_or(0),
                 1e-3);
    return s;
}

int schreibe(const Schreiben& s) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(s.adresse);
    auto frist = Uhr::now();
    for (std::size_t i = 0; i < s.werte.size(); ++i) {
        if (i > 0 && s.intervall > Uhr::duration::zero()) {
            frist = nächsteFrist(frist, s.intervall);
            if (!warteBis(frist)) break;
        }
        if (abbruchsignal() != 0) break;
        Out32(adresse, s.werte[i]);
    }
    return endstatus(ausgabe);
}

// --- beobachten -------------------------------------------------------------

struct Beobachten {
    std::uint16_t adresse = 0;
    Uhr::duration intervall = std::chrono::milliseconds(1);
    std::optional<Uhr::duration> dauer;
};

Beobachten leseBeobachten(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("beobachten braucht eine ADRESSE."));
    Beobachten b;
    b.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    if (const auto ms =
            dauerOption(parser, QStringLiteral("intervall"), QStringLiteral("Millisekunden"))) {
        b.intervall = alsDauer(*ms, 1e-3);
    }
    if (const auto s = dauerOption(parser, QStringLiteral("dauer"), QStringLiteral("Sekunden"))) {
        b.dauer = alsDauer(*s, 1.0);
    }
    return b;
}

// "12.345 200 C8 1100 1000"
void schreibeÄnderung(Ausgabe& ausgabe, Uhr::duration seitStart, std::uint8_t wert) {
    char* p = schreibeMillisekunden(
        ausgabe.zeile(),
        static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(seitStart).count()));
    *p++ = ' ';
    p = schreibeDezimal(p, wert);
    *p++ = ' ';
    p = schreibeHex(p, wert);
    *p++ = ' ';
    p = schreibeBinär(p, wert);
    *p++ = '\n';
    ausgabe.fertig(p);
    ausgabe.leere();  // a script reacts to the change now, not a block later
}

int beobachte(const Beobachten& b) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(b.adresse);
    const auto start = Uhr::now();
    const auto ende = b.dauer ? start + *b.dauer : Uhr::time_point::max();
    auto letzter = static_cast<std::uint8_t>(Inp32(adresse));
    schreibeÄnderung(ausgabe, Uhr::now() - start, letzter);
    auto frist = start;
    while (abbruchsignal() == 0 && !ausgabe.fehler()) {
        frist = nächsteFrist(frist, b.intervall);
        if (frist > ende) {
            warteBis(ende);
            break;
        }
        if (b.intervall > Uhr::duration::zero() && !warteBis(frist)) break;
        const auto wert = static_cast<std::uint8_t>(Inp32(adresse));
        if (wert == letzter) continue;
        letzter = wert;
        schreibeÄnderung(ausgabe, Uhr::now() - start, wert);
    }
    return endstatus(ausgabe);
}

// --- muster -----------------------------------------------------------------

struct Muster {
    QString bitfolge1;
    QString bitfolge2;
    int leitung1 = 0;
    std::optional<int> leitung2;
    float zeitbasisMs = 0.1f;
    std::uint64_t durchläufe = 1;
    std::uint16_t adresse = 888;
};

Muster leseMuster(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("muster braucht eine BITFOLGE."));
    Muster m;
    const QString zweite = QStringLiteral("bitfolge2");
    const QString leitung2 = QStringLiteral("leitung2");
    if (!parser.isSet(QStringLiteral("leitung"))) {
        throw Ablehnung(QStringLiteral("muster braucht --leitung N, die Datenleitung 0..7."));
    }
    if (parser.isSet(zweite) != parser.isSet(leitung2)) {
        throw Ablehnung(
            QStringLiteral("--bitfolge2 und --leitung2 gehören zusammen: der zweite Kanal "
                           "braucht beide."));
    }
    // Capitals and equal lengths as in the generator window.
    m.bitfolge1 = generator::großbuchstaben(argumente.at(0));
    m.bitfolge2 = generator::großbuchstaben(parser.value(zweite));
    for (const QString* folge : {&m.bitfolge1, &m.bitfolge2}) {
        if (folge->size() > generator::kMaxBitstringLänge) {
            throw Ablehnung(QStringLiteral("Eine Bitfolge darf höchstens %1 Zeichen lang sein.")
                                .arg(generator::kMaxBitstringLänge));
        }
    }
    if (m.bitfolge1.isEmpty()) throw Ablehnung(QStringLiteral("BITFOLGE ist leer."));
    const qsizetype länge = std::max(m.bitfolge1.size(), m.bitfolge2.size());
    m.bitfolge1 += QString(länge - m.bitfolge1.size(), u'0');
    if (parser.isSet(zweite)) m.bitfolge2 += QString(länge - m.bitfolge2.size(), u'0');

    m.leitung1 = static_cast<int>(ganzzahlOption(parser, QStringLiteral("leitung"), 0, 7, 0));
    if (parser.isSet(leitung2)) {
        m.leitung2 = static_cast<int>(ganzzahlOption(parser, leitung2, 0, 7, 0));
        if (generator::startKollision(QString::number(m.leitung1), QString::number(*m.leitung2),
                                      QString(), false)) {
            throw Ablehnung(
                QStringLiteral("--leitung und --leitung2 nennen beide D%1: jeder Kanal braucht "
                               "seine eigene Datenleitung.")
                    .arg(m.leitung1));
        }
    }
    if (const auto ms =
            dauerOption(parser, QStringLiteral("zeitbasis"), QStringLiteral("Millisekunden"))) {
        m.zeitbasisMs = static_cast<float>(*ms);
    }
    m.durchläufe = ganzzahlOption(parser, QStringLiteral("durchlaeufe"), 0, UINT64_MAX, 1);
    if (parser.isSet(QStringLiteral("adresse"))) {
        m.adresse =
            adresseAus(parser.value(QStringLiteral("adresse")), QStringLiteral("--adresse"));
    }
    return m;
}

// The engine's questions answered from the command line: the settings stay
// as given, the passes are counted, and a signal ends the run at once (the
// lines keep their last levels, as after the window's Stop).
class Kommandolauf final : public generator::Ausgabesteuerung {
public:
    explicit Kommandolauf(const Muster& muster) : muster_(muster) {}

    std::int16_t adresse() override { return static_cast<std::int16_t>(muster_.adresse); }
    std::optional<std::int16_t> leitung1() override {
        return static_cast<std::int16_t>(muster_.leitung1);
    }
    std::optional<std::int16_t> leitung2() override {
        if (!muster_.leitung2) return std::nullopt;
        return static_cast<std::int16_t>(*muster_.leitung2);
    }
    float zeitbasisMs() override { return muster_.zeitbasisMs; }
    void durchlaufEnde() override {
        if (muster_.durchläufe != 0 && ++durchläufe_ >= muster_.durchläufe) weiter_ = false;
    }
    bool weiter() override { return weiter_; }
    bool abbrechen() override { return abbruchsignal() != 0; }
    // No window, no events: nothing to pump.
    void pumpe() override {}
    void schlafe(std::int64_t höchstensNs) override {
        warteBis(Uhr::now() + std::chrono::nanoseconds(höchstensNs));
    }

private:
    const Muster& muster_;
    std::uint64_t durchläufe_ = 0;
    bool weiter_ = true;
};

int spiele(const Muster& m) {
    const qsizetype n = m.bitfolge1.size();
    const generator::Pegelfolge bitfolge1 = generator::pegelfolge(m.bitfolge1, n);
    const generator::Pegelfolge bitfolge2 =
        m.leitung2 ? generator::pegelfolge(m.bitfolge2, n) : generator::Pegelfolge{};
    Kommandolauf lauf(m);
    generator::Systemuhr uhr;
    generator::Ausgabemaschine maschine(uhr, {.echtzeit = generator::echtzeit::gewünscht()});
    const generator::Laufstatistik statistik = maschine.lauf(lauf, bitfolge1, bitfolge2);
    std::fprintf(stderr, "dravel: %s\n", generator::statistikText(statistik).c_str());
    if (const int signal = abbruchsignal()) return 128 + signal;
    return 0;
}

// --- the command table ------------------------------------------------------

QCommandLineOption option(const char* name, const char* text, const char* wert = nullptr) {
    return wert ? QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text),
                                     QString::fromUtf8(wert))
                : QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text));
}

struct Argument {
    const char* name;
    const char* text;
    const char* aufruf;
};

struct Befehl {
    const char* name;
    const char* kurz;          // one line in "dravel --help"
    const char* beschreibung;  // the head of "dravel BEFEHL --help"
    std::vector<Argument> argumente;
    std::vector<QCommandLineOption> optionen;
    // Reads the arguments (throws Ablehnung), binds the port, runs.
    int (*führeAus)(const QCommandLineParser& parser, const QStringList& argumente);
};

// Every argument is checked before the port opens: a refusal never reaches it.
template <typename Einstellungen, typename Lauf>
int mitPort(const QCommandLineParser& parser, const Einstellungen& einstellungen, Lauf lauf) {
    if (const auto status = bindePort(parser, false)) return *status;
    return lauf(einstellungen);
}

const std::vector<Befehl>& befehle() {
    static const std::vector<Befehl> tabelle{
        {"lesen",
         "Liest ein Register und gibt den Wert aus.",
         "Liest das Register an ADRESSE N-mal, MS Millisekunden auseinander, und gibt jeden Wert "
         "auf einer eigenen Zeile aus, dezimal (oder mit --hex, --bin wie in den Fenstern).",
         {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"}},
         {option("anzahl", "So oft lesen (Vorgabe 1).", "N"),
          option("intervall", "Millisekunden zwischen zwei Lesevorgängen (Vorgabe 0).", "MS"),
          option("hex", "Hexadezimal ausgeben (Großbuchstaben, ohne Präfix)."),
          option("bin", "Binär ausgeben wie in den Fenstern (1100 1000).")},
         [](const QCommandLineParser& p, const QStringList& a) {
             return mitPort(p, leseLesen(p, a), lese);
         }},
        {"schreiben",
         "Schreibt einen oder mehrere Werte in ein Register.",
         "Schreibt die Werte nacheinander in das Register an ADRESSE, MS Millisekunden "
         "auseinander. Gibt nichts aus.",
         {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"},
          {"WERT", "Byte 0..255 in denselben Schreibweisen; mehrere nacheinander.",
           "WERT [WERT …]"}},
         {option("intervall", "Millisekunden zwischen zwei Werten (Vorgabe 0).", "MS")},
         [](const QCommandLineParser& p, const QStringList& a) {
             return mitPort(p, leseSchreiben(p, a), schreibe);
         }},
        {"beobachten",
         "Meldet jede Änderung eines Registers bis Strg+C.",
         "Fragt das Register an ADRESSE regelmäßig ab, bis Strg+C oder bis S Sekunden "
         "vergangen sind, und gibt jede Änderung auf einer Zeile aus: Millisekunden seit dem "
         "Start, den Wert dezimal, hexadezimal und binär. Die erste Zeile ist der Wert beim "
         "Start.",
         {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"}},
         {option("intervall",
                 "Millisekunden zwischen zwei Abfragen (Vorgabe 1, 0: so oft wie "
                 "möglich).",
                 "MS"),
          option("dauer", "Nach so vielen Sekunden enden (Vorgabe: bis Strg+C).", "S")},
         [](const QCommandLineParser& p, const QStringList& a) {
             return mitPort(p, leseBeobachten(p, a), beobachte);
         }},
        {"muster",
         "Spielt Bitfolgen auf Datenleitungen ab wie der Signalgenerator.",
         "Spielt eine oder zwei Bitfolgen auf Datenleitungen ab, ein Zeichen je Zeitbasis, wie "
         "der Signalgenerator: 0, L und Leerzeichen sind Low, alle anderen Zeichen High; die "
         "kürzere Folge wird mit 0 aufgefüllt. Die übrigen Leitungen behalten ihren Pegel, am "
         "Ende bleibt der letzte. Gibt am Ende eine Zeile Statistik auf der Standardfehler"
         "ausgabe aus.",
         {{"BITFOLGE", "Die Pegel des ersten Kanals, z. B. 1100 oder HLLH.", "BITFOLGE"}},
         {option("leitung", "Datenleitung des ersten Kanals, 0..7 (D0..D7).", "N"),
          option("bitfolge2", "Bitfolge des zweiten Kanals.", "B"),
          option("leitung2", "Datenleitung des zweiten Kanals, 0..7, nicht dieselbe.", "M"),
          option("zeitbasis", "Millisekunden je Zeichen (Vorgabe 0,1; Punkt oder Komma).", "MS"),
          option("durchlaeufe", "So viele Durchläufe (Vorgabe 1, 0: bis Strg+C).", "K"),
          option("adresse", "Adresse des Datenregisters (Vorgabe 888 = 0x378).", "A")},
         [](const QCommandLineParser& p, const QStringList& a) {
             return mitPort(p, leseMuster(p, a), spiele);
         }},
    };
    return tabelle;
}

const Befehl* befehlNamens(const QString& name) {
    for (const Befehl& befehl : befehle()) {
        if (name == QLatin1String(befehl.name)) return &befehl;
    }
    return nullptr;
}

// The first argument that is no option, with the port options' values
// skipped; empty when there is none.
QString ersterBefehl(const QStringList& argumente) {
    QCommandLineParser parser;
    parser.addOptions(portOptionen());
    // Options unknown here are the command's own; only the positions count.
    (void)parser.parse(argumente);
    return parser.positionalArguments().value(0);
}

}  // namespace

bool hatBefehl(int argc, char* argv[]) {
    QStringList argumente;
    for (int i = 0; i < argc; ++i) argumente << QString::fromLocal8Bit(argv[i]);
    return befehlNamens(ersterBefehl(argumente)) != nullptr;
}

int führeBefehlAus(const QStringList& argumente) {
    sprichQtDeutsch();  // the parser's "Aufruf:" and error texts
    const Befehl* befehl = befehlNamens(ersterBefehl(argumente));
    if (!befehl) return 2;
    const QString name = QString::fromUtf8(befehl->name);
    const QString abhilfe = QStringLiteral(" Abhilfe: dravel %1 --help").arg(name);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(befehl->beschreibung));
    const QCommandLineOption hilfe({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Zeigt diese Hilfe."));
    parser.addOption(hilfe);
    for (const QCommandLineOption& o : befehl->optionen) parser.addOption(o);
    parser.addOptions(portOptionen());
    // The usage line starts with the command's name.
    QString vorne = name + u' ';
    for (const Argument& a : befehl->argumente) {
        parser.addPositionalArgument(QString::fromUtf8(a.name), QString::fromUtf8(a.text),
                                     vorne + QString::fromUtf8(a.aufruf));
        vorne.clear();
    }
    try {
        if (!parser.parse(argumente)) throw Ablehnung(parser.errorText());
        if (parser.isSet(hilfe)) {
            std::fputs(qPrintable(parser.helpText() + kEndstatusText), stdout);
            return 0;
        }
        QStringList positionen = parser.positionalArguments();
        positionen.removeFirst();
        // Signals end a command cleanly from the moment the port opens.
        fangeAbbruchAb();
        // A trace that could not be completed fails the command.
        return mitMitschnittstatus(befehl->führeAus(parser, positionen));
    } catch (const Ablehnung& ablehnung) {
        std::fprintf(stderr, "dravel: %s%s\n", ablehnung.what(), abhilfe.toUtf8().constData());
        return 2;
    }
}

QString befehlsübersicht() {
    QString text = QStringLiteral("\nBefehle ohne Fenster (für Skripte; jeder mit --help):\n");
    for (const Befehl& befehl : befehle()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromUtf8(befehl.name), -11)
                    .arg(QString::fromUtf8(befehl.kurz));
    }
    return text + kEndstatusText;
}

}  // namespace dravel::app
