// Files to view: a session trace opens with its lines and levels; the units
// the window writes times and frequencies in.
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"
#include "logik/einheiten.h"
#include "logik/vcd_laden.h"
#include "port/vcd_writer.h"

using namespace dravel;

class TestVcdLaden : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void sessionTraceOpensWithItsLines();
    void filesLoadAsTheySayOrAreRefusedBriefly_data();
    void filesLoadAsTheySayOrAreRefusedBriefly();
    void foreignFilesLoadWithTheirEdges_data();
    void foreignFilesLoadWithTheirEdges();
    void largeFileLoadsInPiecesAndStopsWhenCancelled();
    void savingMoreLinesThanAFileHoldsSaysSo();
    void capturesOpenInGtkwaveAndSigrok();
    void whatCannotBeOpenedIsSaidInGerman_data();
    void whatCannotBeOpenedIsSaidInGerman();
    void unitsSuitTheQuantity_data();
    void unitsSuitTheQuantity();
};

void TestVcdLaden::sessionTraceOpensWithItsLines() {
    QTemporaryDir ordner;
    const std::string pfad = ordner.filePath(QStringLiteral("t.vcd")).toStdString();
    std::string fehler;
    auto schreiber = port::VcdWriter::erzeuge(pfad, {"Dravel 1.6.0", "simuliert", "heute", {}},
                                              port::standardbasen(), fehler);
    QVERIFY(schreiber);
    schreiber->formatiere({1000, 0x378, 0x01, false});  // D0 written high
    schreiber->formatiere({2000, 0x379, 0x40, true});   // S6 read high
    schreiber->formatiere({3000, 0x378, 0x00, false});
    QVERIFY(schreiber->schließe(5000));

    const auto a = analysator::ladeVcd(pfad, fehler);
    QVERIFY2(a, fehler.c_str());
    QCOMPARE(a->leitungen().size(), std::size_t(16));
    QCOMPARE(a->leitungen()[0].name, std::string("D0_geschrieben_0x378"));
    QCOMPARE(a->leitungen()[14].name, std::string("S6_gelesen_0x379"));
    QCOMPARE(a->bisNs(), std::uint64_t(5000));
    const analysator::Pegel d0 = analysator::bitVon(0), s6 = analysator::bitVon(14);
    QCOMPARE(a->pegelBei(1500, a->anzahl()), d0);
    QCOMPARE(a->pegelBei(2500, a->anzahl()), d0 | s6);
    QCOMPARE(a->pegelBei(4000, a->anzahl()), s6);
}

namespace {
QByteArray datei(const QByteArray& kommentar, const QByteArray& zeitskala, const QByteArray& name,
                 const QByteArray& werte) {
    return "$version Dravel 1.6.0 $end\n$comment\n" + kommentar + "\n$end\n$timescale " +
           zeitskala + " $end\n$scope module a $end\n$var wire 1 ! " + name +
           " $end\n$upscope $end\n$enddefinitions $end\n" + werte;
}
}  // namespace

// Each row a file; `fehler` a part of the one message, empty when it loads
// with `nullpunkt`, `anzahl` changes and `ende`. Every message and every
// name stays short, whatever the file holds.
void TestVcdLaden::filesLoadAsTheySayOrAreRefusedBriefly_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fehler");
    QTest::addColumn<qulonglong>("nullpunkt");
    QTest::addColumn<int>("anzahl");
    QTest::addColumn<int>("ende");
    QTest::addColumn<QString>("hinweis");
    const QByteArray flanke = "#0\n0!\n#9000\n1!\n#20000\n";
    const int dauer = int(analysator::Ende::Dauer);
    QTest::newRow("capture of 1.6")
        << datei("Auslöser (Nullpunkt) bei 9000 ns; Ende: Dauer abgelaufen", "1ns", "D0", flanke)
        << "" << 9000ull << 2 << dauer << "";
    QTest::newRow("capture with key lines")
        << datei("x\ndravel_aufnahme=1\nausloeser_ns=7000\nende=halt", "1ns", "D0", flanke) << ""
        << 7000ull << 2 << int(analysator::Ende::Halt) << "angehalten";
    QTest::newRow("trigger never came")
        << datei("dravel_aufnahme=1\nende=ohne_ausloeser", "1ns", "D0", "") << "" << 0ull << 0
        << int(analysator::Ende::Leer) << "Auslöser kam nicht";
    QTest::newRow("trace without levels")
        << datei("", "1ns", "D0", "") << "keine Pegel" << 0ull << 0 << 0 << "";
    QTest::newRow("20 MB name") << datei("", "1ns", QByteArray(20'000'000, 'n'), flanke) << ""
                                << 0ull << 2 << dauer << "";
    QTest::newRow("50 MB unknown id")
        << datei("", "1ns", "D0", "#0\n1" + QByteArray(50'000'000, 'i') + "\n") << "unbekanntes"
        << 0ull << 0 << 0 << "";
    QTest::newRow("control characters quoted")
        << datei("", "1ns", "D0", "#0\n1\x01\x7f\t") << "„\\x01\\x7F“" << 0ull << 0 << 0 << "";
    QTest::newRow("100 s wraps") << datei("", "100 s", "D0", "#0\n1!\n#200000000\n0!\n")
                                 << "zu groß" << 0ull << 0 << 0 << "";
    QTest::newRow("fault names its line")
        << datei("", "1ns", "D0", "#0\n1!\n#x\n") << "Zeile 12:" << 0ull << 0 << 0 << "";
    QTest::newRow("1 s, large stamps")
        << datei("", "1s", "D0", "#0\n1!\n#18446744074\n0!\n") << "zu groß" << 0ull << 0 << 0 << "";
}

void TestVcdLaden::filesLoadAsTheySayOrAreRefusedBriefly() {
    QFETCH(QByteArray, text);
    QFETCH(QString, fehler);
    std::string grund, hinweis;
    const auto a = analysator::ladeVcdText(text.toStdString(), grund, &hinweis);
    QVERIFY2(grund.size() < 300, grund.substr(0, 300).c_str());
    if (!fehler.isEmpty()) {
        QVERIFY(!a);
        QVERIFY2(QString::fromStdString(grund).contains(fehler), grund.c_str());
        return;
    }
    QVERIFY2(a, grund.c_str());
    QTEST(qulonglong(a->nullpunktNs), "nullpunkt");
    QTEST(int(a->anzahl()), "anzahl");
    QTEST(int(a->ende()), "ende");
    QVERIFY(a->leitungen().front().name.size() < 100);
    // How a capture ended and what is not shown as the file holds it are said.
    QTEST(QString::fromStdString(hinweis), "hinweis");
}

namespace {
// A recording in one line: its lines ("v[3]@0": a bit of bus 0), its buses
// with their bits, then "|" and the changes "time=levels", lines of unknown
// level "time?mask", gaps "[start,end)" and the time resolution "~ns".
QString beschreibung(const analysator::Aufnahme& a) {
    QStringList t;
    for (const auto& l : a.leitungen())
        t << QString::fromStdString(l.name) + (l.bus >= 0 ? "@" + QString::number(l.bus) : "");
    for (const auto& bus : a.busse) {
        QStringList bits;
        for (const int bit : bus.bits) bits << QString::number(bit);
        t << QString::fromStdString(bus.name) + "(" + bits.join(',') + ")";
    }
    t << "|";
    for (std::size_t i = 0; i < a.anzahl(); ++i)
        t << QStringLiteral("%1=%2").arg(a[i].zeitNs).arg(a[i].pegel, 0, 16);
    for (const auto& u : a.unbekannt())
        t << QStringLiteral("%1?%2").arg(u.zeitNs).arg(u.pegel, 0, 16);
    for (const auto& l : a.lücken()) t << QStringLiteral("[%1,%2)").arg(l.anfangNs).arg(l.endeNs);
    if (a.auflösungNs() > 0) t << QStringLiteral("~%1").arg(a.auflösungNs());
    return t.join(' ');
}
}  // namespace

// Files of other programs and a capture's own facts load with the right
// lines, edges, unknown levels and gaps.
void TestVcdLaden::foreignFilesLoadWithTheirEdges_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("erwartet");
    QTest::addColumn<QString>("hinweis");
    // A vector value shorter than the vector is extended with 0, or with
    // its first digit where that is x or z; x and z keep the level.
    QTest::newRow("iverilog: vector, x/z, 1ps on its own line")
        << QByteArray(
               "$version Icarus $end\n$timescale\n\t1ps\n$end\n$var wire 1 ! a [0:0] $end\n"
               "$var wire 4 \" v [3:0] $end\n$var real 1 # r $end\n$enddefinitions $end\n"
               "#0\n$dumpvars\n0!\nb101 \"\nr1.5 #\n$end\n#9000000\n1!\nbx0 \"\n"
               "#15000000\nz!\nb1 \"\n#20000000\n")
        << "a[0:0] v[3]@0 v[2]@0 v[1]@0 v[0]@0 v(1,2,3,4) | 0=14 9000=5 15000=11 9000?e 15000?1"
        << "1 reelle Variable ausgelassen";
    QTest::newRow("VHDL: std_logic's L, H, U, -")
        << QByteArray(
               "$timescale 1ns $end\n$var wire 4 \" v [3:0] $end\n$enddefinitions $end\n"
               "#0\nbHL10 \"\n#10\nbU1L- \"\n#20\n")
        << "v[3]@0 v[2]@0 v[1]@0 v[0]@0 v(0,1,2,3) | 0=5 10=3 10?9"
        << "";
    QTest::newRow("sigrok: values on the time line, no $dumpvars")
        << QByteArray(
               "$timescale 1 us $end\n$scope module libsigrok $end\n$var wire 1 ! D0 $end\n"
               "$var wire 1 \" D1 $end\n$upscope $end\n$enddefinitions $end\n"
               "#0 1! 0\"\n#10 0! 1\"\n#25 1!\n#30\n")
        << "D0 D1 | 0=1 10000=2 25000=3"
        << "";
    QTest::newRow("capture with gaps")
        << QByteArray(
               "$comment\ndravel_aufnahme=1\naufloesung_ns=250\n$end\n$timescale 1ns $end\n"
               "$var wire 1 ! Pin2_D0 $end\n$var wire 1 \" nicht_gesehen $end\n"
               "$enddefinitions $end\n#0\n0!\n0\"\n#1000\n1\"\n#6000\n0\"\n1!\n"
               "#8000\n1\"\n#9000\n")
        << "2 D0 | 0=0 6000=1 [1000,6000) [8000,9000) ~250"
        << "";
    // The first 64 lines are kept, a vector whole or not at all.
    QByteArray viele = "$timescale 1ns $end\n";
    QString namen;
    for (int i = 0; i < 60; ++i) {
        viele += "$var wire 1 k" + QByteArray::number(i) + " w" + QByteArray::number(i) + " $end\n";
        namen += QStringLiteral("w%1 ").arg(i);
    }
    viele +=
        "$var wire 8 v v [7:0] $end\n$var wire 1 ! x $end\n$enddefinitions $end\n"
        "#5 1k59 b1 v 1!\n";
    QTest::newRow("more than 64 lines") << viele << namen + "| 5=800000000000000"
                                        << "9 Leitungen ausgelassen (mehr als 64)";
}

void TestVcdLaden::foreignFilesLoadWithTheirEdges() {
    QFETCH(QByteArray, text);
    std::string fehler, hinweis;
    const auto a = analysator::ladeVcdText(text.toStdString(), fehler, &hinweis);
    QVERIFY2(a, fehler.c_str());
    QTEST(beschreibung(*a), "erwartet");
    QTEST(QString::fromStdString(hinweis), "hinweis");
}

// A file of several pieces loads as its text does, words and comments
// across the pieces' seams included; cancelled, it stops after the piece in
// hand.
void TestVcdLaden::largeFileLoadsInPiecesAndStopsWhenCancelled() {
    constexpr int kStück = 1 << 20;  // the loader's piece
    QByteArray text =
        "$timescale 1ns $end\n$var wire 1 ! a $end\n$var wire 2 vv v $end\n"
        "$enddefinitions $end\n";
    // Lines of 19 bytes, the first at 13 bytes before the first seam: it
    // cuts a vector's value, the second seam its identifier.
    text += QByteArray(kStück - 13 - text.size(), ' ');
    for (int i = 0; text.size() < 3 * kStück + kStück / 2; ++i) {
        text += "#" + QByteArray::number(1000000 + i) + (i % 2 ? " 1! b01 vv\n" : " 0! b10 vv\n");
        if (text.size() > 3 * kStück - 100 && text.size() < 3 * kStück) {
            text += "$comment " + QByteArray(200, '-') + " $end\n";
        }
    }
    QTemporaryDir ordner;
    QFile datei(ordner.filePath(QStringLiteral("gross.vcd")));
    QVERIFY(datei.open(QIODevice::WriteOnly) && datei.write(text) == text.size());
    datei.close();
    std::string fehler;
    const auto ganz = analysator::ladeVcdText(text.toStdString(), fehler);
    QVERIFY2(ganz, fehler.c_str());
    const auto stückweise = analysator::ladeVcd(datei.fileName().toStdString(), fehler);
    QVERIFY2(stückweise, fehler.c_str());
    QCOMPARE(beschreibung(*stückweise), beschreibung(*ganz));

    std::atomic<bool> abbrechen{false};
    std::uint64_t gelesen = 0, gesamt = 0;
    analysator::Ladefortschritt fortschritt{[&](std::uint64_t g, std::uint64_t s) {
                                                gelesen = g;
                                                gesamt = s;
                                                abbrechen = true;
                                            },
                                            &abbrechen};
    QVERIFY(!analysator::ladeVcd(datei.fileName().toStdString(), fehler, nullptr, &fortschritt));
    QCOMPARE(fehler, std::string(analysator::kLadenAbgebrochen));
    QCOMPARE(gelesen, std::uint64_t(kStück));
    QCOMPARE(gesamt, std::uint64_t(text.size()));
}

// 64 lines loaded and a gap: the gap wire takes the place of the last.
void TestVcdLaden::savingMoreLinesThanAFileHoldsSaysSo() {
    std::vector<analysator::Leitung> leitungen;
    for (int i = 0; i < 64; ++i) leitungen.push_back({i, "w" + std::to_string(i)});
    analysator::Aufnahme aufnahme(std::move(leitungen), 1 << 20);
    aufnahme.hänge(0, 0);
    aufnahme.hängeLücke({10, 20});
    aufnahme.setzeBisNs(30);
    QTemporaryDir ordner;
    std::string fehler, hinweis;
    QVERIFY2(analysator::speichereVcd(aufnahme, ordner.filePath("a.vcd").toStdString(), fehler,
                                      &hinweis),
             fehler.c_str());
    QVERIFY2(hinweis.find("1 Leitung nicht gespeichert (mehr als 63)") != std::string::npos,
             hinweis.c_str());
}

// GTKWave's own loader (not vcd2fst's lenient reader) and sigrok read a
// capture's lines.
void TestVcdLaden::capturesOpenInGtkwaveAndSigrok() {
    const QString xvfb = QStandardPaths::findExecutable("xvfb-run");
    const QString gtkwave = QStandardPaths::findExecutable("gtkwave");
    const QString sigrok = QStandardPaths::findExecutable("sigrok-cli");
    if (xvfb.isEmpty() || gtkwave.isEmpty() || sigrok.isEmpty()) {
        if (qEnvironmentVariableIsSet("DRAVEL_ALLE_WERKZEUGE")) QFAIL("gtkwave/sigrok missing");
        QSKIP("xvfb-run, gtkwave oder sigrok-cli fehlen (Pakete xvfb, gtkwave, sigrok-cli)");
    }
    QTemporaryDir ordner;
    analysator::Aufnahme aufnahme(
        analysator::leitungenFür(analysator::bitVon(2) | analysator::bitVon(10)), 1 << 20);
    aufnahme.basis = 0x378;
    aufnahme.hänge(1000, 0);
    aufnahme.hänge(5000, analysator::bitVon(10));
    aufnahme.nullpunktNs = 5000;
    aufnahme.setzeBisNs(9000);
    aufnahme.setzeAuflösungNs(20);
    aufnahme.hängeLücke({6000, 7000});  // its wire must open too
    const QString pfad = ordner.filePath(QStringLiteral("a.vcd"));
    std::string fehler;
    QVERIFY2(analysator::speichereVcd(aufnahme, pfad.toStdString(), fehler), fehler.c_str());

    const auto lauf = [](const QString& programm, const QStringList& argumente) {
        QProcess p;
        p.start(programm, argumente);
        p.waitForFinished(120'000);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    };
    const QString skript = ordner.filePath(QStringLiteral("namen.tcl"));
    QFile s(skript);
    QVERIFY(s.open(QIODevice::WriteOnly) &&
            s.write("for {set i 0} {$i < [gtkwave::getNumFacs]} {incr i} {\n"
                    "  puts \"NAME [gtkwave::getFacName $i]\"\n}\ngtkwave::/File/Quit\n") > 0);
    s.close();
    const QString gesehen = lauf(xvfb, {"-a", gtkwave, "-f", pfad, "-S", skript});
    QVERIFY2(gesehen.contains("NAME aufnahme_0x378.Pin2_D0") &&
                 gesehen.contains("NAME aufnahme_0x378.Pin10_nAck") &&
                 gesehen.contains("NAME aufnahme_0x378.nicht_gesehen"),
             qPrintable(gesehen));

    const QString bits = lauf(sigrok, {"-I", "vcd", "-i", pfad, "-O", "bits"});
    QVERIFY2(bits.contains("Pin10_nAck:0000") && bits.contains("1111") &&
                 bits.contains("nicht_gesehen:"),
             qPrintable(bits));
    // Dravel reads the trigger back from the file.
    const auto zurück = analysator::ladeVcd(pfad.toStdString(), fehler);
    QVERIFY2(zurück, fehler.c_str());
    QCOMPARE(zurück->nullpunktNs, std::uint64_t(4000));
}

void TestVcdLaden::whatCannotBeOpenedIsSaidInGerman_data() {
    QTest::addColumn<QString>("name");  // in a fresh folder; "" the folder itself
    QTest::addColumn<QString>("grund");
    QTest::newRow("a folder") << ""
                              << "ist ein Ordner.";
    QTest::newRow("no such file") << "fehlt.vcd"
                                  << "nicht gefunden.";
    QTest::newRow("endless device") << "/dev/zero"
                                    << "keine gewöhnliche Datei.";
}

void TestVcdLaden::whatCannotBeOpenedIsSaidInGerman() {
    QFETCH(QString, name);
    QFETCH(QString, grund);
    QTemporaryDir ordner;
    std::string fehler;
    const QString pfad = name.startsWith('/') ? name : ordner.filePath(name);
    QVERIFY(!analysator::ladeVcd(pfad.toStdString(), fehler));
    QVERIFY2(QString::fromStdString(fehler).endsWith(grund), fehler.c_str());
}

void TestVcdLaden::unitsSuitTheQuantity_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("erwartet");
    using namespace analysator;
    QTest::newRow("ns") << dauerText(250) << QStringLiteral("250 ns");
    QTest::newRow("µs") << dauerText(91'312) << QStringLiteral("91,31 µs");
    QTest::newRow("ms negativ") << dauerText(-2e6) << QStringLiteral("-2,000 ms");
    QTest::newRow("s") << dauerText(12.5e9) << QStringLiteral("12,50 s");
    QTest::newRow("Hz") << frequenzText(500) << QStringLiteral("500,0 Hz");
    QTest::newRow("kHz") << frequenzText(10'950) << QStringLiteral("10,95 kHz");
    QTest::newRow("keine") << frequenzText(0) << QStringLiteral("–");
    QTest::newRow("Achse µs") << achsenText(-4000, achsenschritt(1500)) << QStringLiteral("-4 µs");
    QTest::newRow("Achse ms") << achsenText(3e6, achsenschritt(4e5)) << QStringLiteral("3,0 ms");
    QTest::newRow("Achse ganz") << achsenText(-2e6, achsenschritt(9e5)) << QStringLiteral("-2 ms");
}

void TestVcdLaden::unitsSuitTheQuantity() {
    QFETCH(QString, text);
    QFETCH(QString, erwartet);
    QCOMPARE(text, erwartet);
}

QTEST_GUILESS_MAIN(TestVcdLaden)
#include "tst_vcd_laden.moc"
