// The trace core: what reaches the file for port accesses, how registers are
// named, and how the file survives full rings, many registers and errors.

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <random>
#include <set>

#include "port/simulated_port.h"
#include "port/simulated_registers.h"
#include "port/trace_port.h"
#include "recording_port.h"
#include "vcd_leser.h"

using dravel::port::RecordingPort;
using dravel::port::SimulatedPort;
using dravel::port::TracePort;
using dravel::port::TraceRecorder;
using dravel::test::leseVcdDatei;
using dravel::test::leseVcdText;
using dravel::test::VcdDatei;

namespace {

std::string binär(int wert) {
    std::string s;
    for (int bit = 7; bit >= 0; --bit) s += ((wert >> bit) & 1) ? '1' : '0';
    return s;
}

// The values one signal took, in order.
std::vector<std::string> werte(const VcdDatei& datei, const std::string& name) {
    std::vector<std::string> w;
    for (const auto& ä : datei.von(name)) w.push_back(ä.wert);
    return w;
}

}  // namespace

class TraceTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;
    std::vector<std::string> meldungen_;

    TraceRecorder::Einstellungen einstellungen(const QString& name) {
        TraceRecorder::Einstellungen e;
        e.pfad = ordner_.filePath(name).toStdString();
        e.takt = std::chrono::milliseconds(2);
        e.melde = [this](const std::string& zeile) { meldungen_.push_back(zeile); };
        return e;
    }

    std::shared_ptr<TraceRecorder> öffne(const TraceRecorder::Einstellungen& e) {
        std::string fehler;
        std::shared_ptr<TraceRecorder> r = TraceRecorder::öffne(e, fehler);
        if (!r) qWarning("%s", fehler.c_str());
        return r;
    }

    static VcdDatei lies(const std::string& pfad) {
        std::string fehler;
        auto datei = leseVcdDatei(pfad, fehler);
        if (!datei) {
            qWarning("%s", fehler.c_str());
            return {};
        }
        return *datei;
    }

private slots:
    void init() { meldungen_.clear(); }

    void writesAndReadsLandInTheirOwnGroups() {
        const auto e = einstellungen("gruppen.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(), recorder);
        port.write(0x378, 0xAC);
        QCOMPARE(port.read(0x378), std::uint8_t{0xAC});
        QCOMPARE(port.read(0x379), SimulatedPort::kIdleStatus);
        port.write(0x37A, 0x20);  // data lines become inputs: the data register reads 0xFF
        QCOMPARE(port.read(0x378), std::uint8_t{0xFF});
        QVERIFY(recorder->beende());

        const VcdDatei d = lies(e.pfad);
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D"), std::vector<std::string>{"10101100"});
        QCOMPARE(werte(d, "gelesen.daten_0x378.D"),
                 (std::vector<std::string>{"10101100", "11111111"}));
        QCOMPARE(werte(d, "gelesen.status_0x379.S"), std::vector<std::string>{binär(0x78)});
        QCOMPARE(werte(d, "geschrieben.steuer_0x37A.C"), std::vector<std::string>{"00100000"});
        QCOMPARE(werte(d, "geschrieben.steuer_0x37A.C5_geschrieben_0x37A"),
                 std::vector<std::string>{"1"});
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D3_geschrieben_0x378"),
                 std::vector<std::string>{"1"});
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D0_geschrieben_0x378"),
                 std::vector<std::string>{"0"});
        // Nothing read from the status register is declared as written.
        QVERIFY(!d.hat("geschrieben.status_0x379.S"));
        QVERIFY(!d.hat("gelesen.steuer_0x37A.C"));
        // One-bit lines only, each name unique without its scopes (sigrok
        // drops them): 8 written data, 8 read data, 8 status, 8 control.
        std::set<std::string> kurz;
        for (const std::string& n : d.namen) {
            QCOMPARE(d.breite.at(n), 1);
            kurz.insert(n.substr(n.rfind('.') + 1));
        }
        QCOMPARE(kurz.size(), std::size_t{32});
        QCOMPARE(d.namen.size(), std::size_t{32});
    }

    void registersAreNamedByTheirRole_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QList<int>>("basen");
        QTest::addColumn<QString>("bereich");
        QTest::addColumn<QChar>("buchstabe");
        const QList<int> standard{0x378, 0x278, 0x3BC};
        QTest::newRow("LPT1 data") << 0x378 << standard << "daten_0x378" << QChar('D');
        QTest::newRow("LPT1 status") << 0x379 << standard << "status_0x379" << QChar('S');
        QTest::newRow("LPT1 control") << 0x37A << standard << "steuer_0x37A" << QChar('C');
        QTest::newRow("LPT2 control") << 0x27A << standard << "steuer_0x27A" << QChar('C');
        QTest::newRow("mono card data") << 0x3BC << standard << "daten_0x3BC" << QChar('D');
        QTest::newRow("past the control register")
            << 0x37B << standard << "port_0x037B" << QChar('P');
        QTest::newRow("unknown address") << 1000 << standard << "port_0x03E8" << QChar('P');
        QTest::newRow("base in use") << 1001 << QList<int>{1000} << "status_0x3E9" << QChar('S');
        QTest::newRow("registers wrap past 0xFFFF")
            << 0x0001 << QList<int>{0xFFFF} << "steuer_0x001" << QChar('C');
        QTest::newRow("first base wins")
            << 0x37A << QList<int>{0x379, 0x378} << "status_0x37A" << QChar('S');
    }
    void registersAreNamedByTheirRole() {
        QFETCH(int, port);
        QFETCH(QList<int>, basen);
        QFETCH(QString, bereich);
        QFETCH(QChar, buchstabe);
        std::vector<std::uint16_t> b;
        for (int x : basen) b.push_back(static_cast<std::uint16_t>(x));
        const auto name = dravel::port::registername(static_cast<std::uint16_t>(port), b);
        QCOMPARE(QString::fromStdString(name.bereich), bereich);
        QCOMPARE(QChar(name.buchstabe), buchstabe);
    }

    void onlyChangesReachTheFileAndEveryLineFollowsTheVector() {
        const auto e = einstellungen("wechsel.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<RecordingPort>(), recorder);
        std::mt19937 zufall(7);
        std::vector<std::string> erwartet;
        int vorher = -1;
        for (int i = 0; i < 1500; ++i) {
            // Often the same value again, which must not show as a change.
            const int wert = (zufall() % 3 == 0) ? vorher : static_cast<int>(zufall() % 256);
            if (wert < 0) continue;
            port.write(0x378, static_cast<std::uint8_t>(wert));
            if (wert != vorher) erwartet.push_back(binär(wert));
            vorher = wert;
        }
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D"), erwartet);
        // Each line changes exactly when its bit of the vector does.
        for (int bit = 0; bit < 8; ++bit) {
            const std::string leitung =
                "geschrieben.daten_0x378.D" + std::to_string(bit) + "_geschrieben_0x378";
            std::string letzter;
            std::size_t wechsel = 0;
            for (const auto& ä : d.von("geschrieben.daten_0x378.D")) {
                const std::string pegel(1, ä.wert[static_cast<std::size_t>(7 - bit)]);
                QCOMPARE(d.wertBei(leitung, ä.zeit), pegel);
                if (pegel != letzter) ++wechsel;
                letzter = pegel;
            }
            QCOMPARE(d.von(leitung).size(), wechsel);
        }
    }

    void timesAreNanosecondsFromTheEpochAndIncrease_data() {
        QTest::addColumn<bool>("zähler");
        QTest::addColumn<bool>("protokoll");  // a port that stamps its own writes
        QTest::newRow("time-stamp counter where usable") << true << false;
        QTest::newRow("monotonic clock") << false << false;
        // The writes fall outside the logging port and still get their time.
        QTest::newRow("logging port, outside it") << true << true;
    }
    void timesAreNanosecondsFromTheEpochAndIncrease() {
        QFETCH(bool, zähler);
        QFETCH(bool, protokoll);
        auto e = einstellungen("zeiten.vcd");
        e.epoche = std::chrono::steady_clock::now() - std::chrono::seconds(5);
        e.zählerErlaubt = zähler;
        auto recorder = öffne(e);
        QVERIFY(recorder);
        if (!zähler) QVERIFY(!recorder->nutztZähler());
        std::unique_ptr<dravel::port::Backend> dahinter = std::make_unique<RecordingPort>();
        if (protokoll) {
            dahinter = std::make_unique<SimulatedPort>(
                0x378, SimulatedPort::Plug::None,
                std::make_shared<dravel::port::SimulatedRegisters>(),
                std::make_shared<dravel::port::ChangeLog>());
        }
        TracePort port(std::move(dahinter), recorder);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> fenster;
        auto seitEpoche = [&] {
            return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now() - e.epoche)
                                                  .count());
        };
        for (int i = 0; i < 8; ++i) {
            const std::uint64_t vor = seitEpoche();
            port.write(0x278, static_cast<std::uint8_t>(i));
            fenster.emplace_back(vor, seitEpoche());
            QTest::qWait(3);
        }
        const std::uint64_t vorEnde = seitEpoche();
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        QCOMPARE(d.kopf.at("timescale"), std::string("1ns"));
        const auto änderungen = d.von("geschrieben.daten_0x278.D");
        QCOMPARE(änderungen.size(), fenster.size());
        // Counter stamps are placed on the clock by interpolation, which may
        // be off by the time one clock reading takes.
        const std::uint64_t spiel = recorder->nutztZähler() ? 2000 : 0;
        for (std::size_t i = 0; i < fenster.size(); ++i) {
            QVERIFY2(änderungen[i].zeit + spiel >= fenster[i].first &&
                         änderungen[i].zeit <= fenster[i].second + spiel,
                     qPrintable(QString("%1 not in %2..%3")
                                    .arg(änderungen[i].zeit)
                                    .arg(fenster[i].first)
                                    .arg(fenster[i].second)));
            if (i > 0) QVERIFY(änderungen[i].zeit > änderungen[i - 1].zeit);
        }
        // The file ends with the moment the recording ended.
        QVERIFY(d.letzteZeit >= vorEnde);
        QVERIFY(d.letzteZeit > d.letzteÄnderung);
    }

    void headerNamesVersionBackendAndDate() {
        const auto e = einstellungen("kopf.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(0x278), recorder);
        QCOMPARE(port.name(), SimulatedPort(0x278).name());
        port.write(0x278, 1);
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        QCOMPARE(d.kopf.at("version"), "Dravel " DRAVEL_VERSION);
        QVERIFY(d.kopf.at("comment").find("Backend: " + SimulatedPort(0x278).name()) !=
                std::string::npos);
        const QDate heute = QDate::currentDate();
        QVERIFY2(
            QString::fromStdString(d.kopf.at("date")).startsWith(heute.toString(Qt::ISODate)) ||
                QString::fromStdString(d.kopf.at("date"))
                    .startsWith(heute.addDays(-1).toString(Qt::ISODate)),
            d.kopf.at("date").c_str());
    }

    void registersSeenLaterAreDeclaredInTheHeader() {
        auto e = einstellungen("spaeter.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<RecordingPort>(), recorder);
        port.write(0x378, 0x11);
        // Wait until the writer has put the change into the file, so the next
        // declarations have to rewrite a header that is followed by data.
        std::vector<std::string> mitten;
        std::string fehler;
        // A read that overlaps the writer's flush can see the old header with
        // the new data: that is the reader's torn view, not the file's state,
        // so such a read is simply taken again.
        for (int i = 0; i < 1000 && mitten.empty(); ++i) {
            QTest::qWait(2);
            const auto d = leseVcdDatei(e.pfad, fehler);
            if (d) mitten = werte(*d, "geschrieben.daten_0x378.D");
        }
        QCOMPARE(mitten, std::vector<std::string>{"00010001"});
        for (int i = 0; i < 40; ++i) port.write(static_cast<std::uint16_t>(0x1000 + i), 0x22);
        port.read(0x378);
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D"), std::vector<std::string>{"00010001"});
        QCOMPARE(werte(d, "geschrieben.port_0x1027.P"), std::vector<std::string>{"00100010"});
        QCOMPARE(werte(d, "gelesen.daten_0x378.D"), std::vector<std::string>{"00010001"});
        QCOMPARE(d.namen.size(), std::size_t{42 * 8});
        QVERIFY(meldungen_.empty());
    }

    void aFullHeaderAreaLeavesOutFurtherRegistersAndSaysSoOnce() {
        auto e = einstellungen("voll.vcd");
        e.kopfbereich = 2048;
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<RecordingPort>(), recorder);
        for (int i = 0; i < 30; ++i) port.write(static_cast<std::uint16_t>(0x2000 + i), 0x5A);
        port.write(0x2000, 0xA5);
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        QVERIFY(!d.namen.empty());
        QVERIFY(d.namen.size() < 30 * 9);
        QCOMPARE(werte(d, "geschrieben.port_0x2000.P"),
                 (std::vector<std::string>{"01011010", "10100101"}));
        QCOMPARE(meldungen_.size(), std::size_t{1});
        QVERIFY(meldungen_[0].find("zu viele Registeradressen") != std::string::npos);
    }

    void aRingSmallerThanTheSessionLosesNothing() {
        auto e = einstellungen("ring.vcd");
        e.ringgröße = 16;
        e.takt = std::chrono::milliseconds(1);
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<RecordingPort>(), recorder);
        constexpr int kZugriffe = 50000;
        for (int i = 0; i < kZugriffe; ++i) port.write(0x378, static_cast<std::uint8_t>(i));
        QVERIFY(recorder->beende());
        const VcdDatei d = lies(e.pfad);
        const auto änderungen = d.von("geschrieben.daten_0x378.D");
        QCOMPARE(änderungen.size(), std::size_t{kZugriffe});
        for (int i = 0; i < kZugriffe; i += 997) {
            QCOMPARE(änderungen[static_cast<std::size_t>(i)].wert, binär(i % 256));
        }
        QCOMPARE(änderungen.back().wert, binär((kZugriffe - 1) % 256));
    }

    void afterTheEndAccessesPassThroughUnrecorded() {
        const auto e = einstellungen("danach.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(), recorder);
        port.write(0x378, 1);
        QVERIFY(recorder->beende());
        QVERIFY(!recorder->aktiv());
        const qint64 größe = QFileInfo(QString::fromStdString(e.pfad)).size();
        port.write(0x378, 2);
        QCOMPARE(port.read(0x378), std::uint8_t{2});
        QVERIFY(recorder->beende());  // a second end changes nothing
        QCOMPARE(QFileInfo(QString::fromStdString(e.pfad)).size(), größe);
        QCOMPARE(werte(lies(e.pfad), "geschrieben.daten_0x378.D"),
                 std::vector<std::string>{"00000001"});
    }

    void aFileThatCannotBeCreatedIsRefusedWithItsReason_data() {
        QTest::addColumn<QString>("pfad");
        QTest::addColumn<QString>("grund");
        QTest::newRow("no such folder")
            << ordner_.filePath("fehlt/x.vcd") << "Ordner nicht gefunden";
        QTest::newRow("a folder") << ordner_.path() << "ist ein Ordner";
        QTest::newRow("a device") << "/dev/full"
                                  << "keine gewöhnliche Datei";
        // Neither a pipe nobody reads (it would block) nor a link planted
        // under the name (a root session would empty or create its target).
        const QString rohr = ordner_.filePath("rohr"), ziel = ordner_.filePath("wichtig");
        ::mkfifo(QFile::encodeName(rohr).constData(), 0600);
        QFile wichtig(ziel);
        QVERIFY(wichtig.open(QIODevice::WriteOnly) && wichtig.write("Inhalt") == 6);
        QFile::link(ziel, ordner_.filePath("verweis.vcd"));
        QFile::link(ordner_.filePath("neu"), ordner_.filePath("ins-leere.vcd"));
        QTest::newRow("a pipe") << rohr << "keine gewöhnliche Datei";
        QTest::newRow("a link") << ordner_.filePath("verweis.vcd") << "symbolische Verknüpfung";
        QTest::newRow("a dangling link")
            << ordner_.filePath("ins-leere.vcd") << "symbolische Verknüpfung";
        // Every program's port: the shared registers' folder.
        const QString portordner = QString::fromStdString(dravel::port::sharedRegisterFolder());
        // Made as the port makes it (0700), so that it stays usable.
        QVERIFY(QDir().mkpath(portordner));
        QVERIFY(QFile::setPermissions(
            portordner, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QTest::newRow("the simulated port's file") << portordner + "/sim-0x378"
                                                   << "Ordner des simulierten Ports";
    }
    void aFileThatCannotBeCreatedIsRefusedWithItsReason() {
        QFETCH(QString, pfad);
        QFETCH(QString, grund);
        auto e = einstellungen("unbenutzt");
        e.pfad = pfad.toStdString();
        std::string fehler;
        const auto recorder = TraceRecorder::öffne(e, fehler);
        QVERIFY(!recorder);
        const QString zeile = QString::fromStdString(fehler);
        QVERIFY2(zeile.contains(pfad) && zeile.contains(grund), qPrintable(zeile));
        QVERIFY(zeile.startsWith("dravel: "));
        QVERIFY(!zeile.contains('\n'));
        QCOMPARE(QFileInfo(ordner_.filePath("wichtig")).size(), qint64(6));
        QVERIFY(!QFileInfo::exists(ordner_.filePath("neu")));
    }

    // The save file next to the trace is opened by the trace's own rules;
    // where they refuse it the trace goes on without it.
    void theSaveFileFollowsTheTracesRulesOrIsLeftOut_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("grund");
        const QString ziel = ordner_.filePath("fremd");
        QFile fremd(ziel);
        QVERIFY(fremd.open(QIODevice::WriteOnly) && fremd.write("Inhalt") == 6);
        QFile::link(ziel, ordner_.filePath("zeiger.gtkw"));
        QFile::link(ordner_.filePath("neu.txt"), ordner_.filePath("nirgends.gtkw"));
        ::mkfifo(QFile::encodeName(ordner_.filePath("rohr.gtkw")).constData(), 0600);
        QTest::newRow("a link") << "zeiger"
                                << "symbolische Verknüpfung";
        QTest::newRow("a dangling link") << "nirgends"
                                         << "symbolische Verknüpfung";
        QTest::newRow("a pipe nobody reads") << "rohr"
                                             << "keine gewöhnliche Datei";
        QTest::newRow("another program's trace") << "gehalten"
                                                 << "anderen Programm";
    }
    void theSaveFileFollowsTheTracesRulesOrIsLeftOut() {
        QFETCH(QString, name);
        QFETCH(QString, grund);
        // A second program recording into x.gtkw holds its lock.
        QFile gehalten(ordner_.filePath("gehalten.gtkw"));
        QVERIFY(gehalten.open(QIODevice::WriteOnly) && gehalten.write("fremder Mitschnitt") > 0);
        QVERIFY(::flock(gehalten.handle(), LOCK_EX) == 0);
        auto recorder = öffne(einstellungen(name + ".vcd"));
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(), recorder);
        port.write(0x378, 0x55);
        port.read(0x379);
        QVERIFY(recorder->beende());
        QCOMPARE(meldungen_.size(), std::size_t{1});
        const QString zeile = QString::fromStdString(meldungen_[0]);
        QVERIFY2(zeile.contains(ordner_.filePath(name + ".gtkw")) && zeile.contains(grund),
                 qPrintable(zeile));
        QCOMPARE(QFileInfo(ordner_.filePath("fremd")).size(), qint64(6));
        QVERIFY(!QFileInfo::exists(ordner_.filePath("neu.txt")));
        QCOMPARE(gehalten.size(), qint64(18));
        QCOMPARE(werte(lies(recorder->pfad()), "geschrieben.daten_0x378.D"),
                 std::vector<std::string>{"01010101"});
    }

    void aFolderWithoutPermissionIsRefused() {
        if (::geteuid() == 0) QSKIP("root may write everywhere");
        QTemporaryDir gesperrt;
        QFile::setPermissions(gesperrt.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        auto e = einstellungen("unbenutzt");
        e.pfad = QDir(gesperrt.path()).filePath("x.vcd").toStdString();
        std::string fehler;
        QVERIFY(!TraceRecorder::öffne(e, fehler));
        QVERIFY2(fehler.find("keine Berechtigung") != std::string::npos, fehler.c_str());
        QFile::setPermissions(gesperrt.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    }

    void aLaterWriteErrorIsReportedOnceAndThePortKeepsWorking_data() {
        QTest::addColumn<int>("platz");  // bytes the file may still grow by
        QTest::newRow("room for the end time") << 4096;
        QTest::newRow("no room at all") << 0;
    }
    void aLaterWriteErrorIsReportedOnceAndThePortKeepsWorking() {
        QFETCH(int, platz);
        auto e = einstellungen(QString("begrenzt%1.vcd").arg(platz));
        // The writes below in one block, of which what fits stays.
        e.takt = std::chrono::milliseconds(300);
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(), recorder);
        for (int i = 1; i <= 10; ++i) port.write(0x378, static_cast<std::uint8_t>(i));
        QFile datei(QString::fromStdString(e.pfad));
        QTRY_VERIFY(datei.size() > qint64(e.kopfbereich) + 100);
        // A file size limit turns the next large write into an error, as a
        // full disk would.
        rlimit alt{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &alt) == 0);
        const auto altesSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit eng = alt;
        eng.rlim_cur = static_cast<rlim_t>(datei.size() + platz);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &eng) == 0);
        for (int i = 11; i < 20000; ++i) {
            port.write(0x378, static_cast<std::uint8_t>(i));
            QCOMPARE(port.read(0x378), static_cast<std::uint8_t>(i));
        }
        const bool gut = recorder->beende();
        ::setrlimit(RLIMIT_FSIZE, &alt);
        std::signal(SIGXFSZ, altesSignal);
        QVERIFY(!gut);
        QVERIFY(recorder->unvollständig());
        QCOMPARE(meldungen_.size(), std::size_t{1});
        QVERIFY2(meldungen_[0].find("kann nicht weitergeschrieben werden: Datei zu groß") !=
                     std::string::npos,
                 meldungen_[0].c_str());
        QVERIFY(meldungen_[0].find(e.pfad) != std::string::npos);

        // The file ends on a complete record, its end time up to the first
        // change it lost; where not even that fits, the changes at its last
        // time make room for it.
        QVERIFY(datei.open(QIODevice::ReadOnly));
        const QByteArray inhalt = datei.readAll();
        QVERIFY(inhalt.endsWith('\n') &&
                inhalt.mid(inhalt.lastIndexOf('\n', -2) + 1).startsWith('#'));
        const VcdDatei d = lies(e.pfad);
        const auto geschrieben = werte(d, "geschrieben.daten_0x378.D");
        // About 30 bytes a change: the room is used, not only lines before it.
        QVERIFY2(geschrieben.size() >= std::size_t(platz / 60),
                 qPrintable(QString::number(geschrieben.size())));
        for (std::size_t i = 0; i < geschrieben.size(); ++i)
            QCOMPARE(geschrieben[i], binär(int(i + 1) & 0xFF));
        QVERIFY(d.letzteZeit > d.letzteÄnderung);
    }

    void gtkwaveReadsTheFileWithTheSameChanges() {
        const QString vcd2fst = QStandardPaths::findExecutable("vcd2fst");
        const QString fst2vcd = QStandardPaths::findExecutable("fst2vcd");
        if (vcd2fst.isEmpty() || fst2vcd.isEmpty()) {
            // scripts/test.sh installs every tool and wants this test run.
            if (qEnvironmentVariableIsSet("DRAVEL_ALLE_WERKZEUGE")) {
                QFAIL("gtkwave's vcd2fst/fst2vcd missing");
            }
            QSKIP("vcd2fst/fst2vcd fehlen (Paket gtkwave)");
        }
        const auto e = einstellungen("gtkwave.vcd");
        auto recorder = öffne(e);
        QVERIFY(recorder);
        TracePort port(std::make_unique<SimulatedPort>(), recorder);
        for (int i = 0; i < 64; ++i) {
            port.write(0x378, static_cast<std::uint8_t>(i * 37));
            port.read(0x379);
            port.write(static_cast<std::uint16_t>(0x1000 + i % 4), static_cast<std::uint8_t>(i));
        }
        QVERIFY(recorder->beende());

        const QString fst = ordner_.filePath("gtkwave.fst");
        QProcess umwandlung;
        umwandlung.start(vcd2fst, {QString::fromStdString(e.pfad), fst});
        QVERIFY(umwandlung.waitForFinished(30000));
        QCOMPARE(umwandlung.exitStatus(), QProcess::NormalExit);
        QVERIFY2(umwandlung.exitCode() == 0, umwandlung.readAllStandardError().constData());
        QProcess zurück;
        zurück.start(fst2vcd, {fst});
        QVERIFY(zurück.waitForFinished(30000));
        QCOMPARE(zurück.exitCode(), 0);

        // GTKWave's save file next to the trace shows each register as a
        // byte made of its declared lines, most significant first.
        QFile sicherung(ordner_.filePath("gtkwave.gtkw"));
        QVERIFY(sicherung.open(QIODevice::ReadOnly));
        const QString ansicht = QString::fromUtf8(sicherung.readAll());
        QVERIFY(ansicht.contains("[dumpfile] \"" + QString::fromStdString(e.pfad) + "\"\n"));
        QString daten = "@22\n#{Daten 0x378 geschrieben}";
        for (int bit = 7; bit >= 0; --bit) {
            daten += QString(" geschrieben.daten_0x378.D%1_geschrieben_0x378").arg(bit);
        }
        QVERIFY2(ansicht.contains(daten + "\n"), qPrintable(ansicht));
        QCOMPARE(ansicht.count("#{"), 6);
        QVERIFY(ansicht.contains("#{Status 0x379 gelesen}"));
        // It opens showing the whole recording: GTKWave shows 2^-zoom ns
        // per 200 pixels across the wave area of the window it asks for.
        const QRegularExpressionMatch zoom =
            QRegularExpression("\\n\\*(-?[0-9.]+) ").match(ansicht);
        QVERIFY2(zoom.hasMatch(), qPrintable(ansicht));
        const VcdDatei trace = lies(e.pfad);
        const double sichtbar = std::pow(2.0, -zoom.captured(1).toDouble()) / 200 *
                                (dravel::port::kGtkwaveBreite - dravel::port::kGtkwaveNamenbreite);
        QVERIFY(sichtbar >= double(trace.letzteZeit));
        QVERIFY(sichtbar < 4.0 * double(trace.letzteZeit));

        std::string fehler;
        const auto wieder = leseVcdText(zurück.readAllStandardOutput().toStdString(), fehler);
        QVERIFY2(wieder, fehler.c_str());
        const VcdDatei original = lies(e.pfad);
        for (const std::string name :
             {"geschrieben.daten_0x378.D", "geschrieben.daten_0x378.D3_geschrieben_0x378",
              "gelesen.status_0x379.S", "geschrieben.port_0x1003.P",
              "geschrieben.port_0x1003.P1_geschrieben_0x1003"}) {
            const auto a = original.von(name);
            QVERIFY2(!a.empty(), name.c_str());
            // gtkwave writes vectors without leading zeros.
            auto ohneNullen = [](std::string w) {
                const auto erste = w.find_first_not_of('0');
                return erste == std::string::npos ? std::string("0") : w.substr(erste);
            };
            std::vector<std::pair<std::uint64_t, std::string>> x, y;
            for (const auto& ä : a) x.emplace_back(ä.zeit, ohneNullen(ä.wert));
            for (const auto& ä : wieder->von(name)) y.emplace_back(ä.zeit, ohneNullen(ä.wert));
            QVERIFY2(x == y, name.c_str());
        }
    }

    void theReaderRefusesBrokenDumps_data() {
        QTest::addColumn<QString>("text");
        const QString kopf =
            "$timescale 1ns $end $scope module a $end $var wire 1 ! x $end "
            "$var wire 2 \" v [1:0] $end $upscope $end $enddefinitions $end ";
        QTest::newRow("time goes back") << kopf + "#5 1! #4 0!";
        QTest::newRow("undeclared signal") << kopf + "#1 1#";
        QTest::newRow("wrong width") << kopf + "#1 b101 \"";
        QTest::newRow("change before a time") << kopf + "1!";
        QTest::newRow("no end of definitions") << QString("$timescale 1ns $end #1");
        QTest::newRow("open scope") << QString("$scope module a $end $enddefinitions $end");
        QTest::newRow("unknown keyword") << kopf + "#1 $bogus";
    }
    void theReaderRefusesBrokenDumps() {
        QFETCH(QString, text);
        std::string fehler;
        QVERIFY(!leseVcdText(text.toStdString(), fehler));
        QVERIFY(!fehler.empty());
    }
};

QTEST_GUILESS_MAIN(TraceTest)
#include "tst_trace.moc"
