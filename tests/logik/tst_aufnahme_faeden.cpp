// A capture in the engine's thread while the generator writes the same
// simulated port from this one, with the session trace on: built and run
// under ThreadSanitizer as well. The analyzer's reads stay out of the trace.
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "logik/aufnahmemaschine.h"
#include "logik/ausgabemaschine.h"
#include "port/port.h"
#include "port/simulated_port.h"
#include "port/trace_port.h"
#include "vcd_leser.h"

using namespace dravel;

namespace {

// The generator's questions for a fixed number of passes, without events.
class Durchläufe final : public generator::Ausgabesteuerung {
public:
    explicit Durchläufe(int anzahl) : übrig_(anzahl) {}
    std::int16_t adresse() override { return 0x378; }
    std::optional<std::int16_t> leitung1() override { return 3; }
    std::optional<std::int16_t> leitung2() override { return std::nullopt; }
    float zeitbasisMs() override { return 0.02f; }
    void durchlaufEnde() override { --übrig_; }
    bool weiter() override { return übrig_ > 0; }
    bool abbrechen() override { return false; }
    void pumpe() override {}
    void schlafe(std::int64_t höchstensNs) override {
        std::this_thread::sleep_for(std::chrono::nanoseconds(höchstensNs));
    }

private:
    int übrig_;
};

}  // namespace

class TestAufnahmeFaeden : public QObject {
    Q_OBJECT

private slots:
    // With the port's change log the capture holds every write of the
    // trace, at the trace's very time (one clock, one stamp).
    void capturesWhileGeneratorWrites_data() {
        QTest::addColumn<bool>("protokoll");
        QTest::newRow("polling") << false;
        QTest::newRow("change log") << true;
    }
    void capturesWhileGeneratorWrites() {
        QFETCH(bool, protokoll);
        QTemporaryDir ordner;
        const std::string pfad = ordner.filePath(QStringLiteral("sitzung.vcd")).toStdString();
        std::string fehler;
        port::TraceRecorder::Einstellungen e;
        e.pfad = pfad;
        std::shared_ptr<port::TraceRecorder> recorder = port::TraceRecorder::öffne(e, fehler);
        QVERIFY2(recorder, fehler.c_str());
        port::installBackend(std::make_unique<port::TracePort>(
            std::make_unique<port::SimulatedPort>(
                0x378, port::SimulatedPort::Plug::None,
                std::make_shared<port::SimulatedRegisters>(),
                protokoll ? std::make_shared<port::ChangeLog>() : nullptr),
            recorder));

        analysator::PortOhneMitschnitt leser;
        analysator::Programmuhr uhr;
        analysator::Aufnahmemaschine maschine(leser, uhr);
        analysator::Aufnahmeeinstellungen aufnahme;
        aufnahme.pins = analysator::bitVon(5) | analysator::bitVon(10);  // D3 and /Ack
        aufnahme.dauerNs = 0;
        maschine.starte(aufnahme);
        QTRY_VERIFY(maschine.aktuelle());  // sampling

        generator::Systemuhr generatoruhr;
        generator::Ausgabemaschine generator(generatoruhr);
        Durchläufe durchläufe(200);
        generator.lauf(durchläufe, {-1, 0, 0}, {});
        // D3 ends high, so the capture has seen at least one change however
        // little of the run it caught.
        Out32(0x378, 0x08);
        const auto a = maschine.aktuelle();
        QTRY_VERIFY(a->anzahl() > 0 && ((*a)[a->anzahl() - 1].pegel & analysator::bitVon(5)) != 0);
        maschine.halte();
        recorder->beende();
        port::releaseBackend();

        QCOMPARE(a->ende(), analysator::Ende::Halt);
        QVERIFY(a->anzahl() >= 2);

        const auto datei = test::leseVcdDatei(pfad, fehler);
        QVERIFY2(datei, fehler.c_str());
        QVERIFY(!datei->von("geschrieben.daten_0x378.D3_geschrieben_0x378").empty());
        // The status register was read by the analyzer alone.
        QVERIFY(!datei->hat("gelesen.status_0x379.S6_gelesen_0x379"));
        if (!protokoll) return;
        // Changes of D3 from power-on (low) in the trace, from the first
        // levels in the capture.
        std::vector<std::pair<std::uint64_t, bool>> geschrieben, gesehen;
        bool vorher = false;
        for (const auto& s : datei->von("geschrieben.daten_0x378.D3_geschrieben_0x378")) {
            if ((s.wert == "1") != vorher) geschrieben.emplace_back(s.zeit, vorher = !vorher);
        }
        vorher = ((*a)[0].pegel & analysator::bitVon(5)) != 0;
        for (std::size_t i = 1; i < a->anzahl(); ++i) {
            if ((((*a)[i].pegel & analysator::bitVon(5)) != 0) != vorher)
                gesehen.emplace_back((*a)[i].zeitNs, vorher = !vorher);
        }
        QVERIFY(gesehen.size() > 200);
        QCOMPARE(gesehen, geschrieben);
    }
};

QTEST_GUILESS_MAIN(TestAufnahmeFaeden)
#include "tst_aufnahme_faeden.moc"
