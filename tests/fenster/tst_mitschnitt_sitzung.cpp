// Whole sessions with the trace in front of the simulated port: what the
// generator and the main window produce, read back from the file, and a
// complete file at "Schließen" during a run and after SIGINT/SIGTERM.

#include <sys/resource.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include "logik/kommandozeile.h"
#include "logik/mitschnitt.h"
#include "fenster/module1.h"
#include "fenster/signale.h"
#include "fenster/generator/generator_fenster.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "recording_port.h"
#include "port/simulated_port.h"
#include "test_support.h"
#include "vcd_leser.h"

using namespace dravel;
using test::VcdDatei;

namespace {

const std::string kD = "geschrieben.daten_0x378.D";
const std::string kD3 = "geschrieben.daten_0x378.D3_geschrieben_0x378";

std::vector<std::string> werte(const VcdDatei& datei, const std::string& name) {
    std::vector<std::string> w;
    for (const auto& ä : datei.von(name)) w.push_back(ä.wert);
    return w;
}

}  // namespace

class MitschnittSitzungTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;
    QString datei_;
    port::RecordingPort* gesehen_ = nullptr;  // what reached the port, behind the trace

    // The start-up steps of the program for a session with a trace.
    void starteSitzung(const QString& name) {
        datei_ = ordner_.filePath(name);
        QVERIFY(app::starteMitschnitt(datei_));
        auto aufzeichnung =
            std::make_unique<port::RecordingPort>(std::make_unique<port::SimulatedPort>());
        gesehen_ = aufzeichnung.get();
        port::installBackend(app::mitMitschnitt(std::move(aufzeichnung)));
        Module1::Main();
        Module1::Hauptfenster()->Timer2->stop();
    }

    GeneratorFenster* generator(const QString& muster, bool einmal) {
        GeneratorFenster* g = Module1::Generatorfenster();
        g->show();
        g->Binärstring->setText(muster);
        g->AusgabeKanal1->setCurrentText("3");
        (einmal ? g->OptSingle : g->OptLoop)->setChecked(true);
        return g;
    }

    // The bytes written to the data register, each change once, as the
    // port saw them (read before the backend is released).
    std::vector<std::string> geschriebeneWechsel() const {
        std::vector<std::string> w;
        for (const auto& aufruf : gesehen_->writesTo(0x378)) {
            std::string b;
            for (int bit = 7; bit >= 0; --bit) b += ((aufruf.value >> bit) & 1) ? '1' : '0';
            if (w.empty() || w.back() != b) w.push_back(b);
        }
        return w;
    }

    // Nothing lost and the end marked: every change the port saw is in the
    // file, and the file ends after the last of them (the end mark is only
    // written when the trace is completed).
    void prüfeVollständig(const VcdDatei& d, const std::vector<std::string>& erwartet) {
        QVERIFY(erwartet.size() > 4);
        QCOMPARE(werte(d, kD), erwartet);
        QVERIFY(d.letzteZeit > d.letzteÄnderung);
    }

    VcdDatei lies() {
        std::string fehler;
        const auto datei = test::leseVcdDatei(datei_.toStdString(), fehler);
        if (!datei) qWarning("%s: %s", qPrintable(datei_), fehler.c_str());
        return datei.value_or(VcdDatei{});
    }

private slots:
    void initTestCase() { test::richteTestanwendungEin(); }

    void cleanup() {
        app::räumeAuf();
        app::beendeMitschnitt();
        Module1::ZurücksetzenFürTest();
    }

    void generatorPatternAppearsOnItsLineStepByStep() {
        starteSitzung("muster.vcd");
        GeneratorFenster* g = generator("1010 1100", true);
        QVERIFY(QTest::qWaitForWindowExposed(g));
        // Time base 0.1 ms, one pass: returns when the pass is done.
        g->StartStop_Click();
        QCOMPARE(g->StartStop->text(), QString("Start"));
        app::räumeAuf();

        const VcdDatei d = lies();
        // Levels per step 1,0,1,0,0,1,1,0,0; only changes are in the file,
        // so steps 4, 6 and 8 add nothing.
        QCOMPARE(werte(d, kD3), (std::vector<std::string>{"1", "0", "1", "0", "1", "0"}));
        QCOMPARE(werte(d, kD), (std::vector<std::string>{"00001000", "00000000", "00001000",
                                                         "00000000", "00001000", "00000000"}));
        // The generator reads the register before every write.
        QVERIFY(d.von("gelesen.daten_0x378.D").size() >= 5);
        // Steps keep to a schedule that starts with the first: no change
        // comes before its place, a whole number of time bases after the
        // first change (1 µs allowed for the first write's own way to the
        // port). The changes lie 1, 1, 1, 2 and 2 steps apart.
        const auto ä = d.von(kD3);
        const std::vector<int> schritte{1, 1, 1, 2, 2};
        double summe = 0;
        std::uint64_t platz = 0;
        for (std::size_t i = 1; i < ä.size(); ++i) {
            QVERIFY(ä[i].zeit > ä[i - 1].zeit);
            platz += static_cast<std::uint64_t>(schritte[i - 1]) * 100000;
            QVERIFY2(ä[i].zeit - ä[0].zeit + 1000 >= platz,
                     qPrintable(QString::number(ä[i].zeit - ä[0].zeit)));
            const auto abstand = ä[i].zeit - ä[i - 1].zeit;
            summe += static_cast<double>(abstand) / schritte[i - 1];
        }
        qInfo("mean step in the trace: %.1f µs", summe / 5 / 1000.0);
    }

    void allAndNoneAppearAsFullAndEmptyBytes() {
        starteSitzung("alle_keine.vcd");
        Steuerung* s = Module1::Hauptfenster();
        s->Alle_Click();
        s->Keine_Click();
        s->Alle_Click();
        app::räumeAuf();
        const VcdDatei d = lies();
        QCOMPARE(werte(d, kD), (std::vector<std::string>{"11111111", "00000000", "11111111"}));
        QCOMPARE(werte(d, "geschrieben.daten_0x378.D7_geschrieben_0x378"),
                 (std::vector<std::string>{"1", "0", "1"}));
    }

    void schliessenDuringARunLeavesACompleteFile() {
        starteSitzung("schliessen.vcd");
        GeneratorFenster* g = generator("1010 1100", false);
        // "Schließen" from inside the run, as a click would come in.
        QTimer::singleShot(50, Module1::Hauptfenster(),
                           [] { Module1::Hauptfenster()->Schließen_Click(); });
        g->StartStop_Click();
        QVERIFY(Module1::ProgrammEndet());
        const auto erwartet = geschriebeneWechsel();
        // What main does after the event loop has been left.
        app::räumeAuf();
        QVERIFY(!app::mitschnittLäuft());
        prüfeVollständig(lies(), erwartet);
    }

    void closingTheLastWindowDuringARunLeavesACompleteFile() {
        starteSitzung("fenster_zu.vcd");
        GeneratorFenster* g = generator("1010 1100", false);
        QTimer::singleShot(0, g, [g] { g->StartStop_Click(); });
        // The main window first (the generator keeps running), then the
        // generator window: the last one closed ends the event loop.
        QTimer::singleShot(40, Module1::Hauptfenster(), [] { Module1::Hauptfenster()->close(); });
        QTimer::singleShot(80, g, [g] { g->close(); });
        QCOMPARE(QApplication::exec(), 0);
        const auto erwartet = geschriebeneWechsel();
        app::räumeAuf();
        prüfeVollständig(lies(), erwartet);
    }

    void aSignalEndsTheProgramWithACompleteFile_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void aSignalEndsTheProgramWithACompleteFile() {
        QFETCH(int, signal);
        app::fangeSignaleAb();
        starteSitzung("signal.vcd");
        GeneratorFenster* g = generator("1010 1100", false);
        QTimer::singleShot(0, g, [g] { g->StartStop_Click(); });
        QTimer::singleShot(60, g, [signal] { std::raise(signal); });
        const int status = QApplication::exec();
        QCOMPARE(status, 128 + signal);
        QVERIFY(Module1::ProgrammEndet());
        const auto erwartet = geschriebeneWechsel();
        app::räumeAuf();
        prüfeVollständig(lies(), erwartet);
    }

    // What the README advises for PulseView: sigrok's importer with
    // downsample=10000 keeps every edge of a 0.1 ms pattern, to the end.
    void sigrokImportsEveryChangeOfTheDataLines() {
        const QString sigrok = QStandardPaths::findExecutable("sigrok-cli");
        if (sigrok.isEmpty()) {
            // scripts/test.sh installs every tool and wants this test run.
            if (qEnvironmentVariableIsSet("DRAVEL_ALLE_WERKZEUGE")) QFAIL("sigrok-cli missing");
            QSKIP("sigrok-cli fehlt (Paket sigrok-cli)");
        }
        starteSitzung("sigrok.vcd");
        GeneratorFenster* g = generator("1100 1011 0", false);
        g->Kanal2En->setChecked(true);
        g->AusgabeKanal2->setCurrentText("6");
        g->Binärstring2->setText("10");
        QTimer::singleShot(1500, g, [g] { g->StartStop_Click(); });
        g->StartStop_Click();
        app::räumeAuf();
        const VcdDatei d = lies();

        const QString aus = ordner_.filePath("sigrok_aus.vcd");
        QProcess p;
        p.start(sigrok, {"-i", datei_, "-I", "vcd:downsample=10000", "-O", "vcd", "-o", aus});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QFile f(aus);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // sigrok-cli puts a line of its own ("META samplerate: ...") first.
        const QByteArray text = f.readAll();
        std::string fehler;
        const auto s = test::leseVcdText(text.mid(text.indexOf('$')).toStdString(), fehler);
        QVERIFY2(s, fehler.c_str());
        QCOMPARE(s->kopf.at("timescale"), std::string("10 us"));

        for (int bit = 0; bit < 8; ++bit) {
            const std::string name = "D" + std::to_string(bit) + "_geschrieben_0x378";
            const auto& original = d.von("geschrieben.daten_0x378." + name);
            QVERIFY2(!original.empty(), name.c_str());
            // sigrok starts every line low at time 0 and keeps every change
            // in the 10 µs sample it falls into. A step that follows a late
            // one can be shorter than a sample; of changes within one sample
            // the last one stands.
            std::vector<test::VcdÄnderung> erwartet{{0, "0"}};
            for (const auto& w : original) {
                const std::uint64_t probe = w.zeit / 10000;
                if (erwartet.size() > 1 && erwartet.back().zeit == probe) erwartet.pop_back();
                if (w.wert != erwartet.back().wert) erwartet.push_back({probe, w.wert});
            }
            const auto& importiert = s->von("libsigrok." + name);
            QCOMPARE(importiert.size(), erwartet.size());
            for (std::size_t i = 0; i < erwartet.size(); ++i) {
                QCOMPARE(importiert[i].zeit, erwartet[i].zeit);
                QCOMPARE(importiert[i].wert, erwartet[i].wert);
            }
        }
        QCOMPARE(s->letzteZeit, d.letzteZeit / 10000);
        QVERIFY(d.von("geschrieben.daten_0x378.D6_geschrieben_0x378").size() > 100);
    }

    // A disk that fills up during the session (here a file size limit):
    // the windows say so once, in a message that blocks nothing.
    void aFailedTraceIsShownOnceWithoutBlockingTheWindows() {
        starteSitzung("voll.vcd");
        QTRY_VERIFY(QFileInfo(datei_).size() > 0);
        rlimit alt{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &alt) == 0);
        const auto altesSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit eng = alt;
        eng.rlim_cur = static_cast<rlim_t>(QFileInfo(datei_).size() + 200);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &eng) == 0);
        for (int i = 0; i < 20000; ++i) ::Out32(0x378, static_cast<std::int16_t>(i & 0xFF));
        const auto boxen = [] {
            const auto fenster = QApplication::topLevelWidgets();
            return static_cast<int>(std::count_if(fenster.begin(), fenster.end(), [](QWidget* w) {
                return w->objectName() == "Mitschnittfehler" && w->isVisible();
            }));
        };
        QTRY_COMPARE(boxen(), 1);
        for (int i = 0; i < 20000; ++i) ::Out32(0x378, static_cast<std::int16_t>(i & 0xFF));
        QTest::qWait(600);
        ::setrlimit(RLIMIT_FSIZE, &alt);
        std::signal(SIGXFSZ, altesSignal);
        QCOMPARE(boxen(), 1);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(app::mitschnittUnvollständig());
    }

    void withoutATraceTheBackendIsUnchanged() {
        QVERIFY(!app::mitschnittLäuft());
        auto* roh = new port::SimulatedPort(0x278);
        auto backend = app::mitMitschnitt(std::unique_ptr<port::Backend>(roh));
        QCOMPARE(backend.get(), roh);
    }
};

QTEST_MAIN(MitschnittSitzungTest)
#include "tst_mitschnitt_sitzung.moc"
