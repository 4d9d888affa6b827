// The simulated port every process of the user shares: its file in the
// runtime folder, ports opened and written at once, and files not to trust.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "port/simulated_port.h"

using namespace dravel::port;

namespace {

constexpr std::uint16_t kBase = 0x378;

struct Gehört {
    std::vector<std::string> meldungen;
    MessageSink senke() {
        return [this](const Message& m) { meldungen.push_back(m.text); };
    }
};

int modus(const QString& pfad) {
    struct stat info {};
    return ::lstat(QFile::encodeName(pfad).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                    : -1;
}

}  // namespace

class SharedPortTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> laufzeit_;
    QString ordner() const { return laufzeit_->filePath("dravel"); }

private slots:
    void init() {
        laufzeit_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(laufzeit_->path()));
    }

    // Several threads open a port nobody has opened before at the same
    // moment: each finds the power-on values, never a file half made, and
    // all of them share it.
    void portsOpenedAtOnceStartAtPowerOnAndShareOneFile() {
        constexpr int kFäden = 4;
        for (std::uint16_t basis = 0x100; basis < 0x100 + 4 * 16; basis += 4) {
            std::vector<std::unique_ptr<Backend>> ports(kFäden);
            std::vector<int> steuer(kFäden), status(kFäden);
            std::latch start(kFäden);
            std::vector<std::jthread> fäden;
            for (int i = 0; i < kFäden; ++i) {
                fäden.emplace_back([&, i] {
                    start.arrive_and_wait();
                    ports[i] = sharedSimulatedPort(basis, SimulatedPort::Plug::None, {});
                    steuer[i] = ports[i]->read(basis + 2);
                    status[i] = ports[i]->read(basis + 1);
                    if (i == 0) ports[i]->write(basis, 0x5A);
                });
            }
            fäden.clear();
            for (int i = 0; i < kFäden; ++i) {
                QCOMPARE(steuer[i], 0xCC);
                QCOMPARE(status[i], 0x78);
                QCOMPARE(int(ports[i]->read(basis)), 0x5A);
            }
        }
        QCOMPARE(modus(ordner()), 0700);
        QCOMPARE(modus(ordner() + "/sim-0x100"), 0600);
        QCOMPARE(QDir(ordner()).entryList(QDir::Files | QDir::Hidden).size(), 16);
    }

    // Two writers on mappings of their own, each on its own register, for as
    // long as both run: every read gives back what its writer wrote last,
    // nothing is overwritten by the other register's writes.
    void writersOnSeveralMappingsLoseNothing() {
        constexpr int kRunden = 2000000;
        std::atomic<int> runden[2] = {0, 0};
        int verloren[2] = {0, 0};
        auto schreiber = [&](int nummer, std::uint16_t adresse, std::uint8_t maske,
                             std::uint8_t fest) {
            auto port = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, {});
            port->write(adresse, 0);
            for (int i = 1; i <= kRunden || runden[1 - nummer] < kRunden; ++i) {
                // Checked a round later: a read right after the write would
                // be answered from the processor's own store.
                verloren[nummer] += port->read(adresse) != (fest | ((i - 1) & maske));
                port->write(adresse, std::uint8_t(i & maske));
                runden[nummer] = i;
            }
        };
        {
            std::jthread daten(schreiber, 0, kBase, 0xFF, 0x00);
            std::jthread steuer(schreiber, 1, kBase + 2, 0x1F, 0xC0);  // data lines stay outputs
        }
        QCOMPARE(verloren[0], 0);
        QCOMPARE(verloren[1], 0);
    }

    // A file or folder this program did not make as it makes them is never
    // used: the port is the process's own, and the message says why.
    void untrustedFileOrFolderGivesAPortOfItsOwn_data() {
        QTest::addColumn<int>("fall");
        QTest::addColumn<QString>("grund");
        QTest::newRow("symbolic link at the file") << 0 << "sim-0x378 ist eine symbolische";
        QTest::newRow("symbolic link at the folder") << 1 << "dravel ist kein Ordner";
        QTest::newRow("file others may read") << 2 << "auch für andere Benutzer";
    }
    void untrustedFileOrFolderGivesAPortOfItsOwn() {
        QFETCH(int, fall);
        QFETCH(QString, grund);
        const QString datei = ordner() + "/sim-0x378";
        const QString ziel = laufzeit_->filePath("ziel");
        QFile zielDatei(ziel);
        QVERIFY(zielDatei.open(QIODevice::WriteOnly));
        zielDatei.write(QByteArray(16, 'z'));  // the size of a register file
        zielDatei.close();
        QFile::setPermissions(ziel, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(fall == 1 ? QFile::link(laufzeit_->path(), ordner())
                          : QDir().mkdir(ordner()) &&
                                QFile::setPermissions(ordner(), QFile::ExeOwner | QFile::ReadOwner |
                                                                    QFile::WriteOwner));
        if (fall == 0) QVERIFY(QFile::link(ziel, datei));
        if (fall == 2) {
            sharedSimulatedPort(kBase, SimulatedPort::Plug::None, {});
            QVERIFY(QFile::setPermissions(datei,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        }

        Gehört gehört;
        auto eins = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, gehört.senke());
        auto zwei = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, gehört.senke());
        QCOMPARE(gehört.meldungen.size(), std::size_t(2));
        QVERIFY2(QString::fromStdString(gehört.meldungen[0]).contains(grund),
                 gehört.meldungen[0].c_str());
        eins->write(kBase, 0x42);
        QCOMPARE(int(eins->read(kBase)), 0x42);
        QCOMPARE(int(zwei->read(kBase)), 0x00);
        QVERIFY(zielDatei.open(QIODevice::ReadOnly));
        QCOMPARE(zielDatei.readAll(), QByteArray(16, 'z'));
    }

    // Another process shortens or overwrites the file while a thread writes
    // through a port that maps it: that port goes on, on its own if need
    // be; the ports opened later replace the file, once, and share the new one.
    void damagedFileIsReplaced_data() {
        QTest::addColumn<QByteArray>("inhalt");
        QTest::newRow("emptied") << QByteArray();
        QTest::newRow("shortened") << QByteArray(3, 'z');
        QTest::newRow("overwritten") << QByteArray(16, 'z');
    }
    void damagedFileIsReplaced() {
        QFETCH(QByteArray, inhalt);
        auto alt = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, {});
        std::atomic<bool> beschädigt{false};
        std::atomic<int> runden{0};
        std::jthread faden([&] {
            for (int nachher = 0; nachher < 1000; nachher += beschädigt, ++runden)
                alt->write(kBase + 2, std::uint8_t(runden & 0x1F));
        });
        QTRY_VERIFY(runden > 1000);
        QFile datei(ordner() + "/sim-0x378");
        QVERIFY(datei.open(QIODevice::WriteOnly));  // emptied first, as truncate does
        datei.write(inhalt);
        datei.close();
        beschädigt = true;
        faden.join();
        QCOMPARE(alt->read(kBase + 2) & 0x1F, (runden - 1) & 0x1F);

        Gehört gehört;
        auto neu = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, gehört.senke());
        auto später = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, gehört.senke());
        QCOMPARE(gehört.meldungen.size(), std::size_t(1));
        QCOMPARE(int(neu->read(kBase + 2)), 0xCC);
        neu->write(kBase + 2, 0x04);
        QCOMPARE(int(später->read(kBase + 2)), 0xC4);
        QCOMPARE(QFileInfo(datei).size(), qint64(sharedRegisterFileSize()));
    }

    // A writer counts up on the data register while a reader on a mapping
    // of its own follows the log: it gets every write in order, or a gap
    // between the last and the next it got, never a value out of turn and
    // never a time that goes back.
    void logReaderGetsEveryWriteOrAGap_data() {
        QTest::addColumn<int>("schreibe");
        QTest::addColumn<bool>("danach");  // the reader starts once the writer is done
        QTest::addColumn<int>("pauseJe");  // the reader pauses after so many entries; 0: never
        QTest::addColumn<int>("lücken");   // -1: as it comes
        const int log = int(ChangeLog::kEntries);
        QTest::newRow("less than a log") << log - 10 << false << 0 << 0;
        QTest::newRow("three logs, read after") << 3 * log << true << 0 << 1;
        QTest::newRow("reader pausing") << 6 * log << false << 20000 << -1;
    }
    void logReaderGetsEveryWriteOrAGap() {
        QFETCH(int, schreibe);
        QFETCH(bool, danach);
        QFETCH(int, pauseJe);
        QFETCH(int, lücken);
        auto schreiber = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, {});
        auto leser = sharedSimulatedPort(kBase, SimulatedPort::Plug::None, {});
        const auto protokoll = leser->changeLog();
        QVERIFY(protokoll);
        LoggedChange c = protokoll->next();
        const int start = c.values.data;
        std::atomic<bool> fertig{false};
        std::jthread faden([&] {
            for (int i = 1; i <= schreibe; ++i) schreiber->write(kBase, std::uint8_t(start + i));
            fertig = true;
        });
        if (danach) faden.join();
        int geschrieben = 0, gezählt = 0, falsch = 0, erwartet = start;
        std::uint64_t zeit = c.timeNs;
        bool lücke = false;
        for (;;) {
            const bool zuletzt = fertig;
            c = protokoll->next();
            if (c.kind == LoggedChange::Kind::None) {
                if (zuletzt) break;
                continue;
            }
            falsch += c.timeNs < zeit;
            if (c.kind == LoggedChange::Kind::Gap) {
                falsch += c.timeNs != zeit || lücke;
                zeit = c.gapEndNs;
                lücke = true;
                ++gezählt;
                continue;
            }
            ++geschrieben;
            falsch += !lücke && c.values.data != std::uint8_t(erwartet + 1);
            falsch += lücke && c.timeNs != zeit;
            erwartet = c.values.data;
            zeit = c.timeNs;
            lücke = false;
            if (pauseJe && geschrieben % pauseJe == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        QCOMPARE(falsch, 0);
        QCOMPARE(erwartet, (start + schreibe) & 0xFF);  // the last write came
        if (lücken >= 0) QCOMPARE(gezählt, lücken);
        if (lücken == 0) QCOMPARE(geschrieben, schreibe);
    }

    // What the log's reader hands out after each write is what the port
    // reads right then, the plug's status lines and the data lines turned
    // into inputs among it.
    void loggedChangeReadsAsThePort_data() {
        QTest::addColumn<int>("stecker");
        QTest::newRow("nothing plugged") << int(SimulatedPort::Plug::None);
        QTest::newRow("loopback plug") << int(SimulatedPort::Plug::Loopback);
    }
    void loggedChangeReadsAsThePort() {
        QFETCH(int, stecker);
        SimulatedPort port(kBase, SimulatedPort::Plug(stecker),
                           std::make_shared<SimulatedRegisters>(), std::make_shared<ChangeLog>());
        const auto protokoll = port.changeLog();
        protokoll->next();
        const std::pair<int, int> schreibe[] = {{0, 0x01}, {0, 0x1F}, {0, 0x0A}, {2, 0x24},
                                                {0, 0x15}, {2, 0xFF}, {2, 0x04}, {0, 0x08}};
        for (const auto& [register_, wert] : schreibe) {
            port.write(std::uint16_t(kBase + register_), std::uint8_t(wert));
            const LoggedChange c = protokoll->next();
            QCOMPARE(int(c.kind), int(LoggedChange::Kind::Change));
            QCOMPARE(int(c.values.data), int(port.read(kBase)));
            QCOMPARE(int(c.values.status), int(port.read(kBase + 1)));
            QCOMPARE(int(c.values.control), int(port.read(kBase + 2)));
        }
    }

    // Entries overwritten by a later round or mixed from two writers that
    // met on one, and one whose writer stopped halfway, are never taken:
    // the reader reports them as lost, between its neighbours' times.
    void logEntryNotWrittenWholeIsAGap_data() {
        QTest::addColumn<int>("wort");    // which of the entry's words is off
        QTest::addColumn<int>("runden");  // its tag, in rounds later than the entry's
        QTest::newRow("time, later round") << 0 << 1;
        QTest::newRow("registers, later round") << 2 << 1;
        QTest::newRow("registers, unfinished") << 2 << -1;
    }
    void logEntryNotWrittenWholeIsAGap() {
        QFETCH(int, wort);
        QFETCH(int, runden);
        auto registers = std::make_shared<SimulatedRegisters>();
        auto log = std::make_shared<ChangeLog>();
        SimulatedPort port(kBase, SimulatedPort::Plug::None, registers, log);
        const auto protokoll = port.changeLog();
        protokoll->next();
        for (std::uint8_t wert : {1, 2, 3}) port.write(kBase, wert);
        // The middle write's entry, with one word of another round.
        const std::uint64_t mitte = SimulatedRegisters::numberOf(registers->word) - 2;
        ChangeLog::Entry& e = log->entries[mitte & (ChangeLog::kEntries - 1)];
        std::atomic<std::uint64_t>* wörter[] = {&e.timeLow, &e.timeHigh, &e.registers};
        *wörter[wort] += std::uint64_t(std::int64_t(runden) * ChangeLog::kEntries) << 32;
        std::vector<int> gelesen;
        for (int i = 0; i < 3;) {
            const LoggedChange c = protokoll->next();
            if (c.kind == LoggedChange::Kind::None) continue;
            gelesen.push_back(c.kind == LoggedChange::Kind::Gap ? -1 : c.values.data);
            ++i;
        }
        QCOMPARE(gelesen, (std::vector<int>{1, -1, 3}));
    }
};

QTEST_APPLESS_MAIN(SharedPortTest)
#include "tst_shared_port.moc"
