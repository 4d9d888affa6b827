// Decoders over a capture made in code: the bytes sent come back, a gap
// marks what it touches, the port's handshake decoder finds each timing
// fault, and what cannot be decoded is refused with what would be right.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "logik/dekoder.h"

using namespace dravel;
using analysator::Aufnahme;
using analysator::bitVon;

namespace {

constexpr std::size_t kGrenze = 1 << 20;

// A UART line (bit 0) sending `bytes` from 1 ms on, one idle bit between them.
std::shared_ptr<Aufnahme> uart(const QByteArray& bytes, double baud) {
    auto a = std::make_shared<Aufnahme>(std::vector<analysator::Leitung>{{0, "rx"}}, kGrenze);
    const double bit = 1e9 / baud;
    double t = 1e6;
    a->hänge(0, 1);
    for (const char c : bytes) {
        const int rahmen = 0x200 | (static_cast<unsigned char>(c) << 1);  // start 0, stop 1
        for (int k = 0; k < 10; ++k, t += bit) a->hänge(std::uint64_t(t), (rahmen >> k) & 1);
        t += bit;
    }
    a->setzeBisNs(std::uint64_t(t + 1e6));
    return a;
}

std::vector<dekoder::Annotation> dekodiere(std::shared_ptr<const Aufnahme> a, const char* angabe,
                                           std::uint64_t rate = 0) {
    std::string fehler;
    auto stapel = dekoder::leseStapel(angabe, fehler);
    auto d = dekoder::Dekodierung::bereite(std::move(a), {*stapel}, rate, fehler);
    if (!d) qFatal("%s", fehler.c_str());
    d->starte();
    if (!d->warte()) qFatal("%s", d->fehler().c_str());
    return d->abholen();
}

QStringList texte(const std::vector<dekoder::Annotation>& annotationen, const char* klasse) {
    QStringList t;
    for (const auto& a : annotationen) {
        if (a.klasse == klasse) t << QString::fromStdString(a.texte.front());
    }
    return t;
}

// The port's handshake: nStrobe (bit 1), D0-D7 (bits 2-9), nAck (10),
// Busy (11), as the pins; one byte every 20 µs, the second with `fehler`.
std::shared_ptr<Aufnahme> druckerstrom(const QByteArray& bytes, const QString& fehler) {
    std::vector<analysator::Leitung> leitungen;
    for (int pin = 1; pin <= 11; ++pin) leitungen.push_back({pin, std::to_string(pin) + " x"});
    auto a = std::make_shared<Aufnahme>(leitungen, kGrenze);
    std::vector<std::pair<std::uint64_t, std::function<void(analysator::Pegel&)>>> ereignisse;
    const auto setze = [](int pin, bool hoch) {
        return [=](analysator::Pegel& p) { p = hoch ? p | bitVon(pin) : p & ~bitVon(pin); };
    };
    std::uint64_t t = 1000;
    for (int i = 0; i < bytes.size(); ++i) {
        const QString f = i == 1 ? fehler : QString();
        const auto daten = [b = static_cast<unsigned char>(bytes[i])](analysator::Pegel& p) {
            p = (p & ~(analysator::Pegel{0xff} << 2)) | (analysator::Pegel{b} << 2);
        };
        ereignisse.push_back({t, daten});
        t += f == "setup" ? 100 : 1000;
        if (f == "busy") ereignisse.push_back({t - 50, setze(11, true)});
        ereignisse.push_back({t, setze(1, false)});
        if (f == "mit") ereignisse.push_back({t, setze(11, true)});  // answered at once
        t += f == "kurz" ? 200 : 1000;
        ereignisse.push_back({t, setze(1, true)});
        if (f == "hold")
            ereignisse.push_back({t + 100, [](analysator::Pegel& p) { p ^= bitVon(2); }});
        if (f != "busy" && f != "mit") ereignisse.push_back({t + 200, setze(11, true)});
        if (f != "ack") {
            ereignisse.push_back({t + 3000, setze(10, false)});
            ereignisse.push_back({t + 8000, setze(10, true)});
        }
        ereignisse.push_back({t + 9000, setze(11, false)});
        t += 18000;
    }
    std::stable_sort(ereignisse.begin(), ereignisse.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    analysator::Pegel p = bitVon(1) | bitVon(10);
    a->hänge(0, p);
    for (std::size_t i = 0; i < ereignisse.size(); ++i) {
        const auto& [zeit, tat] = ereignisse[i];
        tat(p);
        // One change per moment, with all that happen in it.
        if (i + 1 < ereignisse.size() && ereignisse[i + 1].first == zeit) continue;
        if (zeit == (*a)[a->anzahl() - 1].zeitNs) continue;
        a->hänge(zeit, p);
    }
    a->setzeBisNs(t);
    return a;
}

}  // namespace

class TestDekoder : public QObject {
    Q_OBJECT
    QTemporaryDir kaputt_;
private slots:
    // A decoder that is there but does not import, where the library looks
    // before it starts.
    void initTestCase() {
        QDir(kaputt_.path()).mkdir("kaputt");
        QFile datei(kaputt_.filePath("kaputt/__init__.py"));
        QVERIFY(datei.open(QIODevice::WriteOnly));
        datei.write("raise ImportError('absichtlich')\n");
        qputenv("SIGROKDECODE_DIR", kaputt_.path().toUtf8());
    }
    void uartGivesTheBytesSent_data();
    void uartGivesTheBytesSent();
    void annotationsOverAGapAreMarked_data();
    void annotationsOverAGapAreMarked();
    void handshakeGivesBytesAndEachTimingFault_data();
    void handshakeGivesBytesAndEachTimingFault();
    void whatCannotBeDecodedIsRefusedWithTheRightWay_data();
    void whatCannotBeDecodedIsRefusedWithTheRightWay();
};

void TestDekoder::uartGivesTheBytesSent_data() {
    QTest::addColumn<double>("baud");
    QTest::addColumn<qulonglong>("auflösungNs");
    QTest::addColumn<QByteArray>("angabe");
    QTest::newRow("9600, Rate aus den Abständen")
        << 9600.0 << 0ull << QByteArray("uart:rx=0:baudrate=9600");
    QTest::newRow("115200, Rate aus der Auflösung")
        << 115200.0 << 10ull << QByteArray("uart:rx=rx:baudrate=115200");
}

void TestDekoder::uartGivesTheBytesSent() {
    QFETCH(double, baud);
    QFETCH(qulonglong, auflösungNs);
    QFETCH(QByteArray, angabe);
    auto a = uart(QByteArray("Hi\0\xff", 4), baud);
    a->setzeAuflösungNs(auflösungNs);
    const auto annotationen = dekodiere(a, angabe.constData());
    QCOMPARE(texte(annotationen, "rx-data"), QStringList({"48", "69", "00", "FF"}));
    const auto erstes = std::find_if(annotationen.begin(), annotationen.end(),
                                     [](const auto& x) { return x.klasse == "rx-data"; });
    // The first data bit starts one bit after the start bit's edge at 1 ms.
    QVERIFY2(std::abs(double(erstes->anfangNs) - (1e6 + 1e9 / baud)) < 1e9 / baud / 4,
             qPrintable(QString::number(erstes->anfangNs)));
}

void TestDekoder::annotationsOverAGapAreMarked_data() {
    QTest::addColumn<bool>("lücke");  // else x/z on the line
    QTest::newRow("Lücke") << true;
    QTest::newRow("x/z auf der Leitung") << false;
}

void TestDekoder::annotationsOverAGapAreMarked() {
    QFETCH(bool, lücke);
    const double bit = 1e9 / 9600;
    auto a = uart("ABC", 9600);
    // Through the middle of the second byte's frame (it starts at 1 ms + 11 bits).
    const auto anfang = std::uint64_t(1e6 + 14 * bit), ende = std::uint64_t(1e6 + 16 * bit);
    if (lücke) {
        a->hängeLücke({anfang, ende});
    } else {
        a->hängeUnbekannt(anfang, bitVon(0));
        a->hängeUnbekannt(ende, 0);
    }
    std::vector<bool> markiert;
    for (const auto& x : dekodiere(a, "uart:rx=0:baudrate=9600")) {
        if (x.klasse == "rx-data") markiert.push_back(x.überLücke);
    }
    QCOMPARE(markiert, std::vector<bool>({false, true, false}));
}

void TestDekoder::handshakeGivesBytesAndEachTimingFault_data() {
    QTest::addColumn<QString>("fehler");
    QTest::addColumn<QString>("klasse");
    QTest::newRow("ohne Fehler") << ""
                                 << "";
    QTest::newRow("Strobe zu kurz") << "kurz"
                                    << "strobe-kurz";
    QTest::newRow("Daten zu spät") << "setup"
                                   << "daten-instabil";
    QTest::newRow("Daten zu früh weg") << "hold"
                                       << "daten-instabil";
    QTest::newRow("Strobe bei Busy") << "busy"
                                     << "strobe-bei-busy";
    QTest::newRow("Busy mit dem Strobe") << "mit"
                                         << "";
    QTest::newRow("nAck fehlt") << "ack"
                                << "ack-fehlt";
}

void TestDekoder::handshakeGivesBytesAndEachTimingFault() {
    QFETCH(QString, fehler);
    QFETCH(QString, klasse);
    const auto annotationen =
        dekodiere(druckerstrom("H\xe9!", fehler),
                  "centronics:nstrobe=1:d0=2:d1=3:d2=4:d3=5:d4=6:d5=7:d6=8:d7=9:nack=10:busy=11");
    QCOMPARE(texte(annotationen, "byte"), QStringList({"48 (H)", "E9", "21 (!)"}));
    QStringList fehlerklassen;
    for (const auto& x : annotationen) {
        if (x.zeile == "fehler") fehlerklassen << QString::fromStdString(x.klasse);
    }
    QCOMPARE(fehlerklassen, klasse.isEmpty() ? QStringList() : QStringList({klasse}));
}

void TestDekoder::whatCannotBeDecodedIsRefusedWithTheRightWay_data() {
    QTest::addColumn<QString>("angabe");
    QTest::addColumn<QString>("meldung");
    QTest::newRow("unbekannter Dekoder") << "uat:rx=0"
                                         << "„uat“ gibt es nicht; es gibt: ac97,";
    QTest::newRow("Pflichtkanal fehlt") << "spi:miso=0"
                                        << "der Kanal clk fehlt";
    QTest::newRow("keine solche Leitung") << "uart:rx=7"
                                          << "rx=7: diese Leitung gibt es nicht; es gibt: rx";
    QTest::newRow("falscher Typ") << "uart:rx=0:baudrate=schnell"
                                  << "erwartet eine ganze Zahl (Vorgabe 115200)";
    QTest::newRow("Wert nicht erlaubt") << "uart:rx=0:parity=gerade"
                                        << "erlaubt sind none, odd, even";
    QTest::newRow("weder Kanal noch Option") << "uart:rxd=0"
                                             << "Kanäle: rx, tx; Optionen: baudrate,";
    QTest::newRow("gestapelt ohne Unterbau") << "midi"
                                             << "gehört über einen Dekoder";
    QTest::newRow("falsch gestapelt") << "uart:rx=0,spiflash"
                                      << "spiflash liest spi, uart liefert uart";
    QTest::newRow("Dekoder kaputt") << "kaputt:x=0"
                                    << "„kaputt“ lässt sich nicht laden: ";
    QTest::newRow("$ in einem Wert") << "uart:rx=0:format=$end"
                                     << "„format=$end“: ein $ ist hier nicht erlaubt";
}

void TestDekoder::whatCannotBeDecodedIsRefusedWithTheRightWay() {
    QFETCH(QString, angabe);
    QFETCH(QString, meldung);
    std::string fehler;
    const auto stapel = dekoder::leseStapel(angabe.toStdString(), fehler);
    if (stapel) QVERIFY(!dekoder::Dekodierung::bereite(uart("A", 9600), {*stapel}, 0, fehler));
    QVERIFY2(QString::fromStdString(fehler).contains(meldung), fehler.c_str());
}

QTEST_GUILESS_MAIN(TestDekoder)
#include "tst_dekoder.moc"
