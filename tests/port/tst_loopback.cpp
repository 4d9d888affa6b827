// The loopback plug's self-test on the simulated plug and on faulty ones.
#include <QStringList>
#include <QTest>
#include <memory>

#include "port/backend.h"
#include "port/loopback_test.h"
#include "port/port.h"
#include "port/simulated_port.h"

using namespace dravel::port;

namespace {
constexpr std::uint16_t kBase = 0x278;

// A plug whose five inputs (/Error, Select, PaperOut, /Ack, Busy) obey
// rules such as "0 1&2 !2 H L": follows D0, D1 and D2 shorted (low wins),
// inverted D2, high, low.
class FaultyPlug final : public Backend {
public:
    explicit FaultyPlug(const QString& rules) : rules_(rules.split(' ')) {}
    std::uint8_t read(std::uint16_t port) override {
        if (port == kBase) return data_;
        if (port != kBase + 1) return 0xFF;
        std::uint8_t status = 0x07;
        for (int i = 0; i < 5; ++i) {
            bool high = rules_[i] != "L";
            for (const QString& line : QString(rules_[i]).remove('!').split('&'))
                if (line != "H" && line != "L") high = high && ((data_ >> line.toInt()) & 1);
            high = high != rules_[i].startsWith('!');
            if (high != (i == 4)) status |= 1u << (3 + i);  // Busy is inverted
        }
        return status;
    }
    void write(std::uint16_t port, std::uint8_t value) override {
        if (port == kBase) data_ = value;
    }
    [[nodiscard]] std::string name() const override { return "Prüfstecker"; }

private:
    QStringList rules_;
    std::uint8_t data_ = 0x5A;
};

QStringList lines(const LoopbackResult& result) {
    QStringList out;
    for (const std::string& line : result.lines) out << QString::fromStdString(line);
    return out;
}
}  // namespace

class TestLoopback : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { releaseBackend(); }
    void simulatedPlugIsGoodAndRegistersStayAsFound();
    void eachFaultIsNamedWithBothEnds_data();
    void eachFaultIsNamedWithBothEnds();
};

void TestLoopback::simulatedPlugIsGoodAndRegistersStayAsFound() {
    installBackend(sharedSimulatedPort(kBase, SimulatedPort::Plug::Loopback, {}));
    Out32(kBase, 0xA5);
    Out32(kBase + 2, 0x2C);  // data lines as inputs
    const LoopbackResult result = testLoopbackPlug(kBase);
    QVERIFY(result.good);
    QCOMPARE(lines(result), QStringList{"Prüfstecker in Ordnung: alle 5 Leitungen folgen."});
    QCOMPARE(Inp32(kBase + 2), std::int16_t(0xEC));
    Out32(kBase + 2, 0x0C);
    QCOMPARE(Inp32(kBase), std::int16_t(0xA5));
}

void TestLoopback::eachFaultIsNamedWithBothEnds_data() {
    QTest::addColumn<QString>("regeln");
    QTest::addColumn<QStringList>("befunde");
    const QString d0 = "D0 (Pin 2) → /Error (Pin 15): ", d1 = "D1 (Pin 3) → Select (Pin 13): ",
                  d2 = "D2 (Pin 4) → PaperOut (Pin 12): ", d3 = "D3 (Pin 5) → /Ack (Pin 10): ",
                  d4 = "D4 (Pin 6) → Busy (Pin 11): ", offen = "offen – der Eingang folgt nicht.",
                  low = "fest auf Low – der Eingang bleibt Low.",
                  beide = "Schluss – der Eingang folgt D1 (Pin 3) und D2 (Pin 4) zugleich.";
    QTest::newRow("open wire") << "0 1 2 H 4" << QStringList{d3 + offen};
    QTest::newRow("stuck low") << "0 1 L 3 4" << QStringList{d2 + low};
    QTest::newRow("inverted") << "0 1 2 3 !4"
                              << QStringList{d4 + "invertiert – der Eingang folgt umgekehrt."};
    QTest::newRow("two inputs on one line")
        << "0 2 2 3 4"
        << QStringList{d1 +
                       "Schluss mit PaperOut (Pin 12) – der Eingang folgt D2 (Pin 4) statt "
                       "D1 (Pin 3)."};
    QTest::newRow("two data lines shorted, low wins")
        << "0 1&2 1&2 3 4" << QStringList{d1 + beide, d2 + beide};
    QTest::newRow("no plug") << "H H H H H"
                             << QStringList{d0 + offen,
                                            d1 + offen,
                                            d2 + offen,
                                            d3 + offen,
                                            d4 + offen,
                                            "Kein Eingang folgt: steckt der Prüfstecker an "
                                            "diesem Port?"};
    // Reversed end to end, a ribbon takes pin n to 14 - n in the upper row
    // and to 39 - n in the lower: /Ack meets D0, PaperOut ground, Busy the
    // idle /Strobe; /Error and Select end at unwired pins. An open wire alone
    // (first row) is not taken for one.
    QTest::newRow("reversed cable")
        << "H H L 0 H"
        << QStringList{d0 + offen,
                       d1 + offen,
                       d2 + low,
                       d3 + "vertauscht – der Eingang folgt D0 (Pin 2) statt D3 (Pin 5).",
                       d4 + offen,
                       "Alles zusammen passt zu einem verdreht angeschlossenen Flachbandkabel "
                       "(Pin n an Pin 14 − n, Pin 14 bis 25 an 39 − n)."};
}

void TestLoopback::eachFaultIsNamedWithBothEnds() {
    QFETCH(QString, regeln);
    QFETCH(QStringList, befunde);
    auto plug = std::make_unique<FaultyPlug>(regeln);
    auto* stecker = plug.get();
    installBackend(std::move(plug));
    const LoopbackResult result = testLoopbackPlug(kBase);
    QVERIFY(!result.good);
    QCOMPARE(lines(result), befunde);
    QCOMPARE(stecker->read(kBase), std::uint8_t(0x5A));
}

QTEST_APPLESS_MAIN(TestLoopback)
#include "tst_loopback.moc"
