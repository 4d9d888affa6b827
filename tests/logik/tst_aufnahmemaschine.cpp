// The capture engine against a scripted port: the status register follows a
// script of the test's clock, which moves 100 ns with every read.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"
#include "logik/messung.h"
#include "port/simulated_port.h"
#include "port/trace_port.h"

using namespace dravel::analysator;

namespace {
// How many more allocations of a megabyte or more succeed: memory that runs
// out at a moment the test chooses.
std::atomic<long> g_großeFrei{1L << 40};
}  // namespace

void* operator new(std::size_t n) {
    if (n >= std::size_t{1} << 20 && g_großeFrei.fetch_sub(1) <= 0) throw std::bad_alloc();
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr std::uint64_t kUs = 1000;
constexpr std::uint16_t kStatus = 0x379;
constexpr std::uint8_t kAck = 0x40;      // pin 10, status bit 6
constexpr std::uint8_t kSelect = 0x10;   // pin 13, status bit 4
constexpr std::uint8_t kBusyBit = 0x80;  // pin 11, read inverted

// The status register as a function of time; reads of the other registers
// give 0. Touched only by the engine's thread while it runs.
class Skriptport final : public Portleser, public Aufnahmeuhr {
public:
    explicit Skriptport(std::function<std::uint8_t(std::uint64_t)> status)
        : status_(std::move(status)) {}
    std::uint8_t lies(std::uint16_t adresse) override {
        jetzt_ += 100;
        if (jetzt_ >= sprungAb && sprungNs > 0) {
            jetzt_ += sprungNs;  // the thread was off the CPU
            sprungNs = 0;
        }
        return adresse == kStatus ? status_(jetzt_) : 0;
    }
    std::uint64_t jetztNs() override { return jetzt_; }

    // Once, the read at this time happens this much later.
    std::uint64_t sprungAb = 0;
    std::uint64_t sprungNs = 0;

private:
    std::function<std::uint8_t(std::uint64_t)> status_;
    std::uint64_t jetzt_ = 0;
};

// Steps of the status register: the value from each time on.
std::function<std::uint8_t(std::uint64_t)> stufen(
    std::vector<std::pair<std::uint64_t, std::uint8_t>> s) {
    return [s](std::uint64_t t) {
        std::uint8_t wert = s.front().second;
        for (const auto& [ab, w] : s) {
            if (t >= ab) wert = w;
        }
        return wert;
    };
}

// /Ack as a square wave of this period, high in the first half.
std::function<std::uint8_t(std::uint64_t)> rechteck(std::uint64_t periode) {
    return [periode](std::uint64_t t) {
        return static_cast<std::uint8_t>(t % periode < periode / 2 ? kAck : 0);
    };
}

std::shared_ptr<Aufnahme> nimmAuf(Skriptport& port, const Aufnahmeeinstellungen& e) {
    Aufnahmemaschine maschine(port, port);
    maschine.starte(e);
    maschine.warte();
    return maschine.aktuelle();
}

// A simulated port with a loopback plug and a change log of its own; it
// counts the reads the engine makes.
class Protokollport final : public Portleser {
public:
    dravel::port::SimulatedPort port{0x378, dravel::port::SimulatedPort::Plug::Loopback,
                                     std::make_shared<dravel::port::SimulatedRegisters>(),
                                     std::make_shared<dravel::port::ChangeLog>()};
    std::atomic<long> gelesen{0};
    std::uint8_t lies(std::uint16_t adresse) override {
        ++gelesen;
        return port.read(adresse);
    }
    std::shared_ptr<dravel::port::ChangeLogReader> protokoll(std::uint16_t basis) override {
        return port.changeLog(basis);
    }
};

// The capture as its file holds it; the reason where it cannot be written.
QString alsDatei(const Aufnahme& a) {
    QTemporaryDir ordner;
    const QString pfad = ordner.filePath(QStringLiteral("a.vcd"));
    std::string fehler;
    if (!speichereVcd(a, pfad.toStdString(), fehler)) return QString::fromStdString(fehler);
    QFile datei(pfad);
    return datei.open(QIODevice::ReadOnly) ? QString::fromUtf8(datei.readAll()) : QString();
}

Aufnahmeeinstellungen einstellungen(Pegel pins, std::uint64_t dauer) {
    Aufnahmeeinstellungen e;
    e.pins = pins;
    e.dauerNs = dauer;
    return e;
}

}  // namespace

class TestAufnahmemaschine : public QObject {
    Q_OBJECT

private slots:
    // Only changes of the chosen lines are stored, each no later than the
    // sample that saw it; the capture ends after its duration.
    void storesOnlyChangesOfChosenLines() {
        Skriptport port(stufen({{0, kAck | kSelect},
                                {10 * kUs, kSelect},
                                {20 * kUs, kAck | kSelect},
                                {25 * kUs, kAck},  // Select: not chosen
                                {30 * kUs, 0}}));
        const auto a = nimmAuf(port, einstellungen(bitVon(10) | bitVon(11), 50 * kUs));
        QVERIFY(a);
        QCOMPARE(a->ende(), Ende::Dauer);
        QCOMPARE(a->anzahl(), std::size_t(4));
        const std::vector<std::uint64_t> zeiten{0, 10 * kUs, 20 * kUs, 30 * kUs};
        for (std::size_t i = 1; i < zeiten.size(); ++i) {
            QVERIFY((*a)[i].zeitNs >= zeiten[i] && (*a)[i].zeitNs <= zeiten[i] + 300);
        }
        // Busy reads 0 in the register and is high on the pin.
        QCOMPARE((*a)[0].pegel, bitVon(10) | bitVon(11));
        QCOMPARE((*a)[1].pegel, bitVon(11));
        QCOMPARE(a->bisNs(), (*a)[0].zeitNs + 50 * kUs);
        QVERIFY(a->proben() > 400);
    }

    void triggersAndKeepsPreTrigger_data() {
        QTest::addColumn<QString>("art");
        QTest::addColumn<QString>("auslöser");
        QTest::addColumn<qulonglong>("nullpunkt");
        // /Ack falls at 200 µs and rises at 400 µs; Select falls at 300 µs,
        // rises at 320 µs and falls again at 340 µs.
        QTest::newRow("rising edge") << "flanke"
                                     << "10:steigend" << qulonglong(400 * kUs);
        QTest::newRow("falling edge") << "flanke"
                                      << "10:fallend" << qulonglong(200 * kUs);
        QTest::newRow("either edge") << "flanke"
                                     << "10:beide" << qulonglong(200 * kUs);
        QTest::newRow("falling Select") << "flanke"
                                        << "13:fallend" << qulonglong(300 * kUs);
        QTest::newRow("pattern both low") << "muster"
                                          << "10=0, 13=0" << qulonglong(300 * kUs);
        QTest::newRow("pattern comes true") << "muster"
                                            << "10=1,13=0" << qulonglong(400 * kUs);
        // Select's high from the start ends at 300 µs, but its start was
        // not seen; its next high pulse is 20 µs, its low one too.
        QTest::newRow("short high pulse") << "puls"
                                          << "13:hoch<50us" << qulonglong(340 * kUs);
        QTest::newRow("short low pulse") << "puls"
                                         << "13:tief<50us" << qulonglong(320 * kUs);
        QTest::newRow("long low pulse") << "puls"
                                        << "10:tief>100us<300us" << qulonglong(400 * kUs);
    }
    // The capture starts at the trigger's sample; the pre-trigger (here
    // half of 300 µs) holds the levels at the window's start and the
    // changes after it, none before.
    void triggersAndKeepsPreTrigger() {
        QFETCH(QString, art);
        QFETCH(QString, auslöser);
        QFETCH(qulonglong, nullpunkt);
        const auto status = stufen({{0, kAck | kSelect},
                                    {200 * kUs, kSelect},
                                    {300 * kUs, 0},
                                    {320 * kUs, kSelect},
                                    {340 * kUs, 0},
                                    {400 * kUs, kAck}});
        Skriptport port(status);
        Aufnahmeeinstellungen e = einstellungen(bitVon(10) | bitVon(13), 300 * kUs);
        e.vorlaufAnteil = 0.5;
        std::string fehler;
        const auto lies = art == "flanke" ? leseFlanke : art == "muster" ? leseMuster : lesePuls;
        const auto a = lies(auslöser.toStdString(), fehler);
        QVERIFY2(a, fehler.c_str());
        e.auslöser = *a;
        const auto aufnahme = nimmAuf(port, e);
        QVERIFY(aufnahme);
        QVERIFY(aufnahme->nullpunktNs >= nullpunkt && aufnahme->nullpunktNs <= nullpunkt + 300);
        const std::uint64_t anfang = aufnahme->nullpunktNs - 150 * kUs;
        QCOMPARE((*aufnahme)[0].zeitNs, anfang);
        const auto pegel = [&](std::uint64_t t) {
            return ((status(t) & kAck) ? bitVon(10) : 0) | ((status(t) & kSelect) ? bitVon(13) : 0);
        };
        QCOMPARE((*aufnahme)[0].pegel, pegel(anfang));
        // Every script change after the window's start, none before.
        std::size_t erwartet = 1;
        for (const std::uint64_t t : {200 * kUs, 300 * kUs, 320 * kUs, 340 * kUs, 400 * kUs}) {
            if (t > anfang && t <= nullpunkt) ++erwartet;
        }
        QCOMPARE(aufnahme->ersteAb(aufnahme->nullpunktNs + 1, aufnahme->anzahl()), erwartet);
        QCOMPARE(aufnahme->bisNs(), aufnahme->nullpunktNs + 150 * kUs);
    }

    // The limit ends the capture with the changes that fit; the user's
    // stop ends an endless one; a repeating run makes a new capture each time.
    void endsAtLimitStopAndRepeats() {
        {
            Skriptport port(rechteck(10 * kUs));
            Aufnahmeeinstellungen e = einstellungen(bitVon(10), 0);
            e.grenzeBytes = 5 * Aufnahme::kBytesJeÄnderung;
            const auto a = nimmAuf(port, e);
            QCOMPARE(a->ende(), Ende::Grenze);
            QCOMPARE(a->anzahl(), std::size_t(5));
        }
        {
            Skriptport port(rechteck(10 * kUs));
            Aufnahmemaschine maschine(port, port);
            maschine.starte(einstellungen(bitVon(10), 0));
            QTRY_VERIFY(maschine.aktuelle() && maschine.aktuelle()->anzahl() > 100);
            maschine.halte();
            QCOMPARE(maschine.aktuelle()->ende(), Ende::Halt);
            QVERIFY(!maschine.läuft());
        }
        {
            Skriptport port(rechteck(10 * kUs));
            Aufnahmemaschine maschine(port, port);
            std::vector<std::shared_ptr<Aufnahme>> neue;
            maschine.beiNeuerAufnahme = [&](std::shared_ptr<Aufnahme> a) { neue.push_back(a); };
            Aufnahmeeinstellungen e = einstellungen(bitVon(10), 100 * kUs);
            e.auslöser = *leseFlanke("10:fallend", *std::make_unique<std::string>());
            e.wiederholen = true;
            maschine.starte(e);
            QTRY_VERIFY(maschine.aktuelle() && maschine.aktuelle()->nullpunktNs > 1000 * kUs);
            maschine.halte();
            QVERIFY(neue.size() >= 3);
            QCOMPARE(neue.front()->ende(), Ende::Dauer);
            // Each begins at a falling edge of /Ack (every 10 µs, at 5 µs).
            for (std::size_t i = 0; i + 1 < neue.size(); ++i) {
                QCOMPARE(neue[i]->nullpunktNs % (10 * kUs) / 100, std::uint64_t(50));
            }
        }
    }

    // Auto: armed longer than its wait, a capture starts without a trigger.
    // Normal: re-armed, the last capture stays the current one meanwhile.
    void autoStartsWithoutTriggerNormalKeepsTheLast() {
        Skriptport port(stufen({{0, kAck}, {100 * kUs, 0}}));  // one falling edge only
        Aufnahmemaschine maschine(port, port);
        Aufnahmeeinstellungen e = einstellungen(bitVon(10), 50 * kUs);
        e.auslöser = *leseFlanke("10:fallend", *std::make_unique<std::string>());
        e.wiederholen = true;
        maschine.starte(e);
        QTRY_VERIFY(maschine.aktuelle() && maschine.aktuelle()->ende() == Ende::Dauer &&
                    maschine.wartetAufAuslöser());
        QCOMPARE(maschine.aktuelle()->nullpunktNs / kUs, std::uint64_t(100));
        maschine.halte();
        QCOMPARE(maschine.aktuelle()->ende(), Ende::Dauer);

        // Auto with a trigger that never comes: a capture at the end of the
        // first block of samples past the wait, and again after each.
        e.autoNachNs = 1000 * kUs;
        Skriptport ruhig(stufen({{0, kAck}}));
        Aufnahmemaschine automatisch(ruhig, ruhig);
        std::vector<std::uint64_t> nullpunkte;
        automatisch.beiNeuerAufnahme = [&](std::shared_ptr<Aufnahme> a) {
            nullpunkte.push_back(a->nullpunktNs);
        };
        automatisch.starte(e);
        QTRY_VERIFY(automatisch.aktuelle() && automatisch.aktuelle()->nullpunktNs > 3000 * kUs);
        automatisch.halte();
        const std::uint64_t block = Aufnahmemaschine::kBlock * 100;
        std::uint64_t scharf = 0;
        for (const std::uint64_t t : nullpunkte) {
            QVERIFY(t >= scharf + 1000 * kUs && t <= scharf + 1000 * kUs + block);
            scharf = t + 45 * kUs;  // armed again at the end: 50 µs less the pre-trigger
        }
        QVERIFY(nullpunkte.size() >= 3);

        // Following a port's log, the wait counts from the start too, not
        // from the program's start.
        Protokollport p;
        Programmuhr uhr;
        e.autoNachNs = 200'000 * kUs;
        while (uhr.jetztNs() < 2 * e.autoNachNs) QTest::qWait(50);
        Aufnahmemaschine ausProtokoll(p, uhr);
        const std::uint64_t start = uhr.jetztNs();
        ausProtokoll.starte(e);
        QTRY_VERIFY(ausProtokoll.aktuelle());
        ausProtokoll.halte();
        QVERIFY(ausProtokoll.aktuelle()->nullpunktNs >= start + e.autoNachNs);
    }

    // Memory that runs out before the limit ends the capture as the limit
    // does, with the changes that found room: none when not even the first
    // block of the store could be had (at the start, before the thread),
    // one block when the second could not.
    void memoryRunningOutEndsAsTheLimit_data() {
        QTest::addColumn<long>("bloecke");
        QTest::newRow("none at the start") << 0L;
        QTest::newRow("one while capturing") << 1L;
    }
    void memoryRunningOutEndsAsTheLimit() {
        QFETCH(long, bloecke);
        Skriptport port(rechteck(200));  // a change at every read
        Aufnahmeeinstellungen e = einstellungen(bitVon(10), 0);
        e.grenzeBytes = 4 * kMiB;
        g_großeFrei = bloecke;
        const auto a = nimmAuf(port, e);
        g_großeFrei = 1L << 40;
        QCOMPARE(a->ende(), Ende::Grenze);
        QCOMPARE(a->anzahl(), std::size_t(bloecke) << 16);
        // And the file says so.
        QVERIFY(alsDatei(*a).contains("\tende=grenze\n"));
    }

    // A pulse that began before a gap has no width the trigger can know:
    // the low pulse across the stall (0.5 to 7 ms) does not fire, the next
    // one does.
    void aPulseIsNotMeasuredAcrossAGap() {
        Skriptport port(stufen(
            {{0, kAck}, {500 * kUs, 0}, {7000 * kUs, kAck}, {9000 * kUs, 0}, {9100 * kUs, kAck}}));
        port.sprungAb = 1000 * kUs;
        port.sprungNs = 5000 * kUs;
        Aufnahmeeinstellungen e = einstellungen(bitVon(10), 1000 * kUs);
        e.auslöser = *lesePuls("10:tief<10ms", *std::make_unique<std::string>());
        const auto a = nimmAuf(port, e);
        QCOMPARE(a->nullpunktNs / kUs, std::uint64_t(9100));
    }

    void aStallIsOneGapAndStampsTheChangeAfterIt_data() {
        QTest::addColumn<bool>("ausloeser");
        QTest::addColumn<qulonglong>("luecke");  // the gap's expected length
        // /Ack falls at 3 ms, unseen: the reads stall from 1 ms for 5 ms.
        QTest::newRow("while capturing") << false << qulonglong(5000 * kUs);
        // The fall triggers; the window's 2 ms before it lie in the gap.
        QTest::newRow("window starts in it") << true << qulonglong(2000 * kUs);
    }
    void aStallIsOneGapAndStampsTheChangeAfterIt() {
        QFETCH(bool, ausloeser);
        QFETCH(qulonglong, luecke);
        Skriptport port(stufen({{0, kAck}, {3000 * kUs, 0}}));
        port.sprungAb = 1000 * kUs;
        port.sprungNs = 5000 * kUs;
        Aufnahmeeinstellungen e = einstellungen(bitVon(10), 20'000 * kUs);
        if (ausloeser) {
            e.dauerNs = 4000 * kUs;
            e.vorlaufAnteil = 0.5;
            e.auslöser = *leseFlanke("10:fallend", *std::make_unique<std::string>());
        }
        const auto a = nimmAuf(port, e);
        const std::vector<Lücke> lücken = a->lücken();
        QCOMPARE(lücken.size(), std::size_t(1));
        const Lücke l = lücken[0];
        QVERIFY(l.endeNs - l.anfangNs >= luecke && l.endeNs - l.anfangNs <= luecke + kLückeAbNs);
        QVERIFY(l.anfangNs >= (*a)[0].zeitNs);
        QCOMPARE(a->anzahl(), std::size_t(2));
        QCOMPARE((*a)[1].zeitNs, l.endeNs);
        QVERIFY(a->auflösungNs() > 0 && a->auflösungNs() <= kLückeAbNs);

        // The file has a wire that is 1 just while the capture saw nothing.
        const QString text = alsDatei(*a);
        const QRegularExpression var(QStringLiteral("\\$var wire 1 (\\S+) nicht_gesehen \\$end"));
        const QString id = var.match(text).captured(1);
        QVERIFY(!id.isEmpty());
        QStringList wechsel;
        QString zeit;
        for (const QString& zeile : text.split('\n')) {
            if (zeile.startsWith('#')) zeit = zeile;
            if (zeile.size() == id.size() + 1 && zeile.endsWith(id)) wechsel << zeit + zeile[0];
        }
        const auto t = [&](std::uint64_t ns) {
            return QStringLiteral("#%1").arg(ns - (*a)[0].zeitNs);
        };
        QStringList erwartet;
        if (l.anfangNs > (*a)[0].zeitNs) erwartet << t((*a)[0].zeitNs) + '0';
        erwartet << t(l.anfangNs) + '1' << t(l.endeNs) + '0';
        QCOMPARE(wechsel, erwartet);
    }

    // Measuring a 1 kHz square wave with 25 % duty cycle over 10.5 periods.
    void measuresPeriodDutyAndPulses() {
        Aufnahme a({{10, "10 /Ack"}}, 1 << 20);
        for (std::uint64_t k = 0; k <= 10; ++k) {
            a.hänge(1000 * kUs * k, bitVon(10));
            a.hänge(1000 * kUs * k + 250 * kUs, 0);
        }
        a.setzeBisNs(10'500 * kUs);
        const Messwerte m = messe(a, 10, 0, 20'000 * kUs);
        QCOMPARE(m.flanken, std::size_t(21));  // the start is no edge
        QCOMPARE(*m.periodeNs, 1e6);
        QCOMPARE(*m.frequenzHz, 1000.0);
        QCOMPARE(*m.tastgradProzent, 25.0);
        QCOMPARE(*m.kürzesterPulsNs, 250 * kUs);
        QCOMPARE(*m.längsterPulsNs, 750 * kUs);
        QCOMPARE(m.dauerNs, 10'500 * kUs);
        QCOMPARE(
            messtext(a.leitungen()[0], m),
            std::string("10 /Ack: 21 Flanken, 1,000 kHz, Periode 1,000 ms, Tastgrad 25,0 %, Pulse "
                        "250,0 µs … 750,0 µs"));
        // Without a whole period: the share of the stretch.
        const Messwerte teil = messe(a, 10, 100 * kUs, 900 * kUs);
        QVERIFY(!teil.periodeNs);
        QCOMPARE(*teil.tastgradProzent, 18.75);

        // The pulse at 3 ms went unseen in a gap: the low pulse around it
        // and the periods across it are left out.
        Aufnahme mitLücke({{10, "10 /Ack"}}, 1 << 20);
        for (std::uint64_t k = 0; k <= 10; ++k) {
            if (k == 3) continue;
            mitLücke.hänge(1000 * kUs * k, bitVon(10));
            mitLücke.hänge(1000 * kUs * k + 250 * kUs, 0);
        }
        mitLücke.hängeLücke({2900 * kUs, 3500 * kUs});
        mitLücke.setzeBisNs(10'500 * kUs);
        const Messwerte l = messe(mitLücke, 10, 0, 20'000 * kUs);
        QCOMPARE(*l.periodeNs, 1e6);
        QCOMPARE(*l.tastgradProzent, 25.0);
        QCOMPARE(*l.längsterPulsNs, 750 * kUs);
        QVERIFY(messtext(mitLücke.leitungen()[0], l).ends_with(", 1 Puls an Lücken ausgelassen"));

        // All lines in one pass, each with its own figures, a line twice.
        Aufnahme zwei({{10, "10 /Ack"}, {11, "11 Busy"}}, 1 << 20);
        for (std::uint64_t k = 0; k <= 10; ++k) {
            zwei.hänge(1000 * kUs * k, bitVon(10) | bitVon(11));
            zwei.hänge(1000 * kUs * k + 250 * kUs, bitVon(11));
            zwei.hänge(1000 * kUs * k + 600 * kUs, 0);
        }
        zwei.setzeBisNs(10'500 * kUs);
        std::vector<double> tastgrade;
        for (const Messwerte& w : messeAlle(zwei, {11, 10, 11}, 0, 20'000 * kUs))
            tastgrade.push_back(*w.tastgradProzent);
        QCOMPARE(tastgrade, (std::vector<double>{60.0, 25.0, 60.0}));
    }

    // On a port that logs its writes the capture follows the log: every
    // write, however fast they come, at the time the log holds, and those
    // made before the stop; polling asked for, it reads the port instead.
    void followsThePortsLogUnlessPollingIsAsked_data() {
        QTest::addColumn<bool>("abtasten");
        QTest::newRow("log") << false;
        QTest::newRow("polling") << true;
    }
    void followsThePortsLogUnlessPollingIsAsked() {
        QFETCH(bool, abtasten);
        Protokollport p;
        Programmuhr uhr;
        const auto mitgelesen = p.port.changeLog(0x378);  // the test's own reader of the log
        mitgelesen->next();
        Aufnahmemaschine maschine(p, uhr);
        Aufnahmeeinstellungen e = einstellungen(bitVon(10), 0);
        e.abtasten = abtasten;
        maschine.starte(e);
        QTRY_VERIFY(maschine.aktuelle());
        constexpr int kSchritte = 2000;
        for (int i = 1; i <= kSchritte; ++i) p.port.write(0x378, std::uint8_t(i & 1 ? 0x08 : 0));
        maschine.halte();
        const auto a = maschine.aktuelle();
        QCOMPARE(p.gelesen > 0, abtasten);
        if (abtasten) return;
        QCOMPARE(a->anzahl(), std::size_t(kSchritte + 1));
        const std::uint64_t null = dravel::port::programmstartNs();
        for (std::size_t i = 1; i < a->anzahl(); ++i) {
            const auto c = mitgelesen->next();
            QCOMPARE((*a)[i].zeitNs, c.timeNs - null);
            QCOMPARE((*a)[i].pegel, i & 1 ? bitVon(10) : Pegel{0});  // /Ack follows D3
        }
    }
};

QTEST_GUILESS_MAIN(TestAufnahmemaschine)
#include "tst_aufnahmemaschine.moc"
