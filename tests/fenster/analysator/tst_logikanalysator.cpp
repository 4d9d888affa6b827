// The logic analyzer window: a capture drawn where its edges are, cursors
// that measure a period, a capture that comes back the same from its file,
// one window from the menu that stops its capture and the port when closed.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "fenster/analysator/logikanalysator.h"
#include "fenster/analysator/zeitdiagramm.h"
#include "fenster/module1.h"
#include "fenster/steuerung/steuerung.h"
#include "logik/ausloeser.h"
#include "logik/einheiten.h"
#include "test_support.h"

using namespace dravel;
using analysator::Aufnahme;

namespace {

constexpr std::uint64_t kStart = 5'000'000;  // the capture's first moment
constexpr std::uint64_t kHalbeNs = 500'000;  // pin 10: a 1 kHz square wave
constexpr int kHalbe = 20;

// Pin 10 toggles every half period from high; pin 11 stays low.
std::shared_ptr<Aufnahme> rechteck() {
    auto a = std::make_shared<Aufnahme>(
        analysator::leitungenFür(analysator::bitVon(10) | analysator::bitVon(11)), 1 << 20);
    for (int i = 0; i <= kHalbe; ++i) {
        a->hänge(kStart + std::uint64_t(i) * kHalbeNs, i % 2 ? 0 : analysator::bitVon(10));
    }
    a->setzeBisNs(kStart + kHalbe * kHalbeNs);
    a->nullpunktNs = kStart + 2 * kHalbeNs;  // the trigger: the first rising edge
    a->basis = 0x378;
    a->beende(analysator::Ende::Dauer);
    return a;
}

// A capture the test controls: started, it hands out its recording; it
// records whether it was stopped.
class Skript final : public Aufnahmequelle {
public:
    bool starte(const analysator::Aufnahmeeinstellungen& e, QString&) override {
        gesehen = e;
        läuft_ = true;
        aufnahme = rechteck();
        return true;
    }
    void halte() override {
        gehalten = läuft_;
        läuft_ = false;
    }
    bool läuft() const override { return läuft_; }
    std::shared_ptr<const Aufnahme> aktuelle() const override { return aufnahme; }
    QString zustand() const override { return läuft_ ? QStringLiteral("Läuft") : ende; }

    std::shared_ptr<Aufnahme> aufnahme;
    analysator::Aufnahmeeinstellungen gesehen;
    bool läuft_ = false;
    QString ende;  // the state once stopped
    bool& gehalten;
    explicit Skript(bool& g) : gehalten(g) {}
};

qsizetype analysatoren() {
    return test::offeneFenster<Logikanalysator>().size();
}

// Everything a window remembers, as text.
QStringList stand(const Logikanalysator* f) {
    QString pins;
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin)
        pins += f->Leitung[pin]->isChecked() ? '1' : '0';
    QStringList s{pins};
    for (const QComboBox* c :
         {f->Betriebsart, f->Ausloeser, f->AusloeserPin, f->Flanke, f->Pulspegel}) {
        s << c->currentText();
    }
    s << f->Muster->text() << f->Pulsbreite->text() << f->Vorlauf->text() << f->Dauer->text()
      << f->Grenze->text() << QString::number(f->Echtzeit->isChecked())
      << QString::number(f->Abtasten->isChecked()) << QString::number(f->width())
      << QString::number(f->height());
    return s;
}

}  // namespace

class TestLogikanalysator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { test::richteTestanwendungEin(); }
    void init() {
        port = &test::installiereAufzeichnung();
        Logikanalysator::gespeichert()->clear();
        gehalten = false;
    }
    void cleanup() { Module1::ZurücksetzenFürTest(); }
    void captureIsDrawnAtItsLevels();
    void cursorsMeasureThePeriod();
    void aLongStretchIsMeasuredInAWorker();
    void quietLineKeepsTheDiagramRolling();
    void savedCaptureOpensWithTheSameChanges();
    void brokenFilesAreRefused_data();
    void brokenFilesAreRefused();
    void menuOpensOneWindowThatStopsWhenClosed();
    void edgeTriggerTakesThePinAndDirectionShown_data();
    void edgeTriggerTakesThePinAndDirectionShown();
    void runModesReachTheEngine_data();
    void runModesReachTheEngine();
    void statusNamesGapsAndAFilesOwnFacts();
    void settingsComeBackInANewWindow();
    void windowFitsTheAvailableArea();

private:
    Logikanalysator* zeige(std::shared_ptr<const Aufnahme> a) {
        Logikanalysator* f = Module1::Analysator();
        f->resize(1100, 700);
        f->show();
        f->zeige(std::move(a));
        QCoreApplication::processEvents();
        return f;
    }
    port::RecordingPort* port = nullptr;
    bool gehalten = false;  // outlives the windows' script, which the cleanup ends
};

void TestLogikanalysator::captureIsDrawnAtItsLevels() {
    Logikanalysator* f = zeige(rechteck());
    Zeitdiagramm* d = f->Diagramm;
    const QImage bild = d->viewport()->grab().toImage();
    const QRect zeile10 = d->zeilenband(0), zeile11 = d->zeilenband(1);
    const int rand = std::max(3, zeile10.height() / 5);
    const auto farbe = [&](double ns, int y) {
        return QColor(bild.pixel(int(std::lround(d->xVon(ns))), y));
    };
    // The middle of the first half period is high, of the second low.
    const double hoch = kStart + kHalbeNs / 2.0, tief = kStart + 3 * kHalbeNs / 2.0;
    QCOMPARE(farbe(hoch, zeile10.top() + rand), Zeitdiagramm::signalfarbe());
    QCOMPARE(farbe(hoch, zeile10.bottom() - rand), Zeitdiagramm::hintergrund());
    QCOMPARE(farbe(tief, zeile10.bottom() - rand), Zeitdiagramm::signalfarbe());
    QCOMPARE(farbe(tief, zeile10.top() + rand), Zeitdiagramm::hintergrund());
    // The falling edge spans the row; pin 11 stays low throughout.
    QCOMPARE(farbe(kStart + kHalbeNs, (zeile10.top() + zeile10.bottom()) / 2),
             Zeitdiagramm::signalfarbe());
    QCOMPARE(farbe(hoch, zeile11.bottom() - std::max(3, zeile11.height() / 5)),
             Zeitdiagramm::signalfarbe());
    QCOMPARE(farbe(hoch, zeile11.top() + rand), Zeitdiagramm::hintergrund());

    // Zoomed so far out that many edges share a column: a filled band.
    auto dicht =
        std::make_shared<Aufnahme>(analysator::leitungenFür(analysator::bitVon(10)), 64 << 20);
    for (std::uint64_t i = 0; i < 1'000'000; ++i) dicht->hänge(i * 100, i % 2 ? 0 : ~0ULL);
    dicht->setzeBisNs(100'000'000);
    f->zeige(dicht);
    const QImage band = d->viewport()->grab().toImage();
    const QRect r = d->zeilenband(0);
    const QColor mitte(band.pixel(d->plotfläche().center().x(), r.center().y()));
    QVERIFY2(mitte != Zeitdiagramm::hintergrund(), "kein Band");

    // Not seen, or of no known level: not drawn as a level.
    const auto lücke = rechteck();
    lücke->hängeLücke({kStart + 5'200'000, kStart + 5'800'000});
    lücke->hängeUnbekannt(kStart + 7'000'000, analysator::bitVon(11));
    lücke->hängeUnbekannt(kStart + 8'000'000, 0);
    f->zeige(lücke);
    const QImage ohne = d->viewport()->grab().toImage();
    const auto pixel = [&](double ns, int y) {
        return QColor(ohne.pixel(int(std::lround(d->xVon(ns))), y));
    };
    const int tief11 = zeile11.bottom() - std::max(3, zeile11.height() / 5);
    QVERIFY(pixel(kStart + 5'500'000, zeile10.bottom() - rand) != Zeitdiagramm::signalfarbe());
    QVERIFY(pixel(kStart + 5'500'000, tief11) != Zeitdiagramm::signalfarbe());
    QCOMPARE(pixel(kStart + 7'500'000, tief11), Zeitdiagramm::unbekanntfarbe());
}

void TestLogikanalysator::cursorsMeasureThePeriod() {
    Logikanalysator* f = zeige(rechteck());
    Zeitdiagramm* d = f->Diagramm;
    const int y = d->zeilenband(0).center().y();
    // A click a pixel beside a rising edge takes the edge.
    const auto x = [&](double ns) { return int(std::lround(d->xVon(ns))); };
    QTest::mouseClick(d->viewport(), Qt::LeftButton, {}, QPoint(x(kStart + 2 * kHalbeNs) + 1, y));
    QTest::mouseClick(d->viewport(), Qt::RightButton, {}, QPoint(x(kStart + 4 * kHalbeNs) - 1, y));
    QCOMPARE(d->cursorA, std::optional<double>(kStart + 2 * kHalbeNs));
    QCOMPARE(d->cursorB, std::optional<double>(kStart + 4 * kHalbeNs));
    f->messeJetzt();
    const QString text = f->CursorAnzeige->text();
    QVERIFY2(text.contains(QStringLiteral("Δt = 1,000 ms")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("1/Δt = 1,000 kHz")), qPrintable(text));
    // The table measures the same period on pin 10.
    QCOMPARE(f->Messwerte->item(0, 3)->text(), QStringLiteral("1,000 ms"));
}

// Too many changes for the window's thread: the table fills when the
// worker is done, and a result for what is no longer shown is dropped.
void TestLogikanalysator::aLongStretchIsMeasuredInAWorker() {
    const std::size_t n = Logikanalysator::kSofortMessenBis + 2;
    auto lang = std::make_shared<Aufnahme>(analysator::leitungenFür(analysator::bitVon(10)),
                                           n * Aufnahme::kBytesJeÄnderung + (1 << 20));
    for (std::size_t i = 0; i < n; ++i) lang->hänge(i * 500, i % 2 ? 0 : ~0ULL);
    lang->setzeBisNs(n * 500);
    Logikanalysator* f = zeige(lang);
    QVERIFY(f->misst());
    const auto periode = [f] {
        const QTableWidgetItem* zelle = f->Messwerte->item(0, 3);
        return zelle ? zelle->text() : QString();
    };
    QTRY_COMPARE(periode(), QStringLiteral("1,000 µs"));
    f->zeige(lang);
    f->zeige(rechteck());
    QTRY_VERIFY(!f->misst());
    QCOMPARE(periode(), QStringLiteral("1,000 ms"));
}

void TestLogikanalysator::quietLineKeepsTheDiagramRolling() {
    // A running capture whose only line never changes after its start.
    auto a = std::make_shared<Aufnahme>(analysator::leitungenFür(analysator::bitVon(10)), 1 << 20);
    a->hänge(kStart, analysator::bitVon(10));
    a->setzeBisNs(kStart + 20'000'000);
    Zeitdiagramm d;
    d.resize(800, 400);
    d.zeige(a);
    d.folgt = true;
    d.setzeSicht(d.anfangNs(), 2e9);
    d.rolle();
    a->setzeBisNs(kStart + 3'000'000'000);
    d.rolle();
    // The view keeps its width and ends where the capture has looked.
    QCOMPARE(d.sichtSpanne(), 2e9);
    QCOMPARE(d.sichtAnfang() + d.sichtSpanne(), double(kStart + 3'000'000'000));
}

void TestLogikanalysator::savedCaptureOpensWithTheSameChanges() {
    const auto original = rechteck();
    Logikanalysator* f = zeige(original);
    QTemporaryDir ordner;
    const QString pfad = ordner.filePath(QStringLiteral("a.vcd"));
    QString fehler;
    QVERIFY2(f->speichere(pfad, fehler), qPrintable(fehler));
    QVERIFY2(f->öffne(pfad, fehler), qPrintable(fehler));
    const Aufnahme* geladen = f->Diagramm->aufnahme();
    QVERIFY(geladen != original.get());
    QCOMPARE(geladen->leitungen().size(), std::size_t(2));
    QCOMPARE(geladen->leitungen()[0].name, std::string("10 /Ack"));
    QCOMPARE(geladen->leitungen()[1].name, std::string("11 Busy"));
    QCOMPARE(geladen->anzahl(), original->anzahl());
    QCOMPARE(geladen->nullpunktNs - (*geladen)[0].zeitNs, 2 * kHalbeNs);
    // The file counts from the capture's first moment.
    for (std::size_t i = 0; i < original->anzahl(); ++i) {
        const auto a = (*original)[i], b = (*geladen)[i];
        QCOMPARE(b.zeitNs - (*geladen)[0].zeitNs, a.zeitNs - kStart);
        QCOMPARE(bool(b.pegel & 1), bool(a.pegel & analysator::bitVon(10)));
        QCOMPARE(bool(b.pegel & 2), false);
    }
    QVERIFY(f->speichereBild(ordner.filePath(QStringLiteral("a.png")), fehler));
    QCOMPARE(QImage(ordner.filePath(QStringLiteral("a.png"))).size(),
             f->Diagramm->viewport()->grab().size());
}

void TestLogikanalysator::brokenFilesAreRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("grund");
    const QByteArray kopf =
        "$version Dravel 1.6.0 $end\n$timescale 1ns $end\n"
        "$scope module a $end\n$var wire 1 ! D0 $end\n$upscope $end\n"
        "$enddefinitions $end\n";
    QTest::newRow("Zeit rückwärts") << kopf + "#5\n1!\n#3\n0!\n" << QStringLiteral("rückwärts");
    QTest::newRow("unbekanntes Signal") << kopf + "#0\n1?\n" << QStringLiteral("unbekanntes");
    QTest::newRow("ohne Kopfende")
        << kopf.left(kopf.indexOf("$enddefinitions")) << QStringLiteral("$enddefinitions");
    QTest::newRow("kein VCD") << QByteArray("\x89PNG\r\n") << QStringLiteral("unbekanntes Wort");
}

void TestLogikanalysator::brokenFilesAreRefused() {
    QFETCH(QByteArray, text);
    QFETCH(QString, grund);
    Logikanalysator* f = zeige(rechteck());
    QTemporaryDir ordner;
    QFile datei(ordner.filePath(QStringLiteral("x.vcd")));
    QVERIFY(datei.open(QIODevice::WriteOnly));
    datei.write(text);
    datei.close();
    QString fehler;
    QVERIFY(!f->öffne(datei.fileName(), fehler));
    QVERIFY2(fehler.contains(grund), qPrintable(fehler));
    QCOMPARE(f->Diagramm->aufnahme()->anzahl(), std::size_t(kHalbe + 1));  // still shown
}

void TestLogikanalysator::menuOpensOneWindowThatStopsWhenClosed() {
    Module1::Main();
    Steuerung* haupt = Module1::Hauptfenster();
    port->clearLog();
    haupt->Analysator->trigger();
    haupt->Analysator->trigger();
    QCOMPARE(analysatoren(), 1);
    Logikanalysator* f = test::offeneFenster<Logikanalysator>().value(0);
    QVERIFY(f && f->isVisible());
    QCOMPARE(haupt->Analysator->text(), QStringLiteral("Logikanalysator…"));
    // Idle: no timer runs, the port is left alone.
    QVERIFY(!f->Anzeigetakt->isActive());
    QCOMPARE(port->calls().size(), std::size_t(0));

    f->setzeQuelle(std::make_unique<Skript>(gehalten));
    f->AufnahmeStartStop->click();
    QVERIFY(f->Anzeigetakt->isActive());
    QCOMPARE(f->AufnahmeStartStop->text(), QStringLiteral("Stopp"));
    port->clearLog();
    f->close();
    QVERIFY(gehalten);
    QTRY_COMPARE(analysatoren(), 0);
    QCOMPARE(port->calls().size(), std::size_t(0));
    haupt->Analysator->trigger();
    QCOMPARE(analysatoren(), 1);
}

void TestLogikanalysator::edgeTriggerTakesThePinAndDirectionShown_data() {
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("flanke");
    QTest::newRow("11 fallend") << "11 Busy"
                                << "fallend";
    QTest::newRow("17 beide") << "17 /SelectIn"
                              << "beide";
    QTest::newRow("10 tiefer Puls") << "10 /Ack"
                                    << "tief>500µs";
}

void TestLogikanalysator::edgeTriggerTakesThePinAndDirectionShown() {
    QFETCH(QString, pin);
    QFETCH(QString, flanke);
    Logikanalysator* f = Module1::Analysator();
    auto skript = std::make_unique<Skript>(gehalten);
    const Skript& quelle = *skript;
    f->setzeQuelle(std::move(skript));
    const bool puls = flanke.contains('>');
    f->Ausloeser->setCurrentIndex(puls ? 3 : 1);
    f->AusloeserPin->setCurrentText(pin);
    f->Flanke->setCurrentText(flanke);
    f->Pulspegel->setCurrentText(flanke.section('>', 0, 0));
    f->Pulsbreite->setText('>' + flanke.section('>', 1));
    f->AufnahmeStartStop->click();
    QCOMPARE(QString::fromStdString(analysator::text(quelle.gesehen.auslöser)),
             pin.section(' ', 0, 0) + ':' + flanke);
}

void TestLogikanalysator::runModesReachTheEngine_data() {
    QTest::addColumn<QString>("art");
    QTest::addColumn<bool>("wiederholt");
    QTest::addColumn<bool>("automatisch");
    QTest::addColumn<bool>("rollt");
    QTest::newRow("Einzeln") << "Einzeln" << false << false << false;
    QTest::newRow("Normal") << "Normal" << true << false << false;
    QTest::newRow("Auto") << "Auto" << true << true << false;
    QTest::newRow("Rollen") << "Rollen" << false << false << true;
}

// Rolling: no trigger, no end, the newest seconds of the duration in view.
void TestLogikanalysator::runModesReachTheEngine() {
    QFETCH(QString, art);
    QFETCH(bool, wiederholt);
    QFETCH(bool, automatisch);
    QFETCH(bool, rollt);
    Logikanalysator* f = Module1::Analysator();
    auto skript = std::make_unique<Skript>(gehalten);
    const Skript& quelle = *skript;
    f->setzeQuelle(std::move(skript));
    f->Ausloeser->setCurrentIndex(1);
    f->Betriebsart->setCurrentText(art);
    f->Dauer->setValue(2);
    f->AufnahmeStartStop->click();
    QCOMPARE(quelle.gesehen.wiederholen, wiederholt);
    QCOMPARE(quelle.gesehen.autoNachNs, automatisch ? 2'000'000'000ULL : 0ULL);
    QCOMPARE(quelle.gesehen.dauerNs, rollt ? 0ULL : 2'000'000'000ULL);
    QCOMPARE(quelle.gesehen.auslöser.art == analysator::Auslöser::Art::Keiner, rollt);
    QCOMPARE(f->Diagramm->sichtSpanne(), 2e9);
}

// The status names the gaps of what is shown; a file's status is the
// file's, without the rate of the capture before it.
void TestLogikanalysator::statusNamesGapsAndAFilesOwnFacts() {
    QCOMPARE(analysator::rateText(97.14e6), QStringLiteral("97,1 MS/s"));
    Logikanalysator* f = Module1::Analysator();
    auto skript = std::make_unique<Skript>(gehalten);
    skript->ende = QStringLiteral("Beendet: Dauer · 97,1 MS/s");
    f->setzeQuelle(std::move(skript));
    auto a = rechteck();
    a->hängeLücke({kStart + 1'000'000, kStart + 3'000'000});
    a->hängeLücke({kStart + 5'000'000, kStart + 6'000'000});
    a->setzeAuflösungNs(2'100);
    f->zeige(a);
    QVERIFY2(f->Zustand->text().contains(QStringLiteral("97,1 MS/s · 21 Änderungen · 2 Lücken, "
                                                        "zusammen 3,000 ms, längste 2,000 ms, "
                                                        "30,0 % der Aufnahme; "
                                                        "Zeitauflösung 2,100 µs")),
             qPrintable(f->Zustand->text()));
    // The table leaves out the pulses that touch a gap, and says so.
    QVERIFY2(f->Messbereich->text().endsWith(QStringLiteral(" · 10 Pulse an Lücken ausgelassen")),
             qPrintable(f->Messbereich->text()));
    QTemporaryDir ordner;
    const QString pfad = ordner.filePath(QStringLiteral("a.vcd"));
    QString fehler;
    QVERIFY2(f->speichere(pfad, fehler), qPrintable(fehler));
    QVERIFY2(f->öffne(pfad, fehler), qPrintable(fehler));
    QVERIFY2(f->Zustand->text().startsWith(QStringLiteral("a.vcd · 21 Änderungen")),
             qPrintable(f->Zustand->text()));
    QVERIFY2(!f->Zustand->text().contains(QStringLiteral("S/s")), qPrintable(f->Zustand->text()));
}

void TestLogikanalysator::settingsComeBackInANewWindow() {
    Logikanalysator* f = Module1::Analysator();
    const QStringList vorgabe = stand(f);
    f->Leitung[2]->setChecked(false);
    f->Betriebsart->setCurrentIndex(2);
    f->Ausloeser->setCurrentIndex(3);
    for (QComboBox* c : {f->AusloeserPin, f->Flanke, f->Pulspegel}) c->setCurrentIndex(1);
    f->Muster->setText(QStringLiteral("2=1"));
    f->Pulsbreite->setText(QStringLiteral(">2ms"));
    f->Vorlauf->setValue(25);
    f->Dauer->setValue(0.5);
    f->Grenze->setValue(64);
    f->Echtzeit->setChecked(true);
    f->Abtasten->setChecked(true);
    f->resize(640, 480);
    const QStringList gewählt = stand(f);
    QCOMPARE(gewählt.size(), vorgabe.size());
    for (qsizetype i = 0; i < gewählt.size(); ++i)
        QVERIFY2(gewählt[i] != vorgabe[i], qPrintable(gewählt[i]));
    f->close();
    QTRY_COMPARE(analysatoren(), 0);
    QCOMPARE(stand(Module1::Analysator()), gewählt);
}

void TestLogikanalysator::windowFitsTheAvailableArea() {
    for (int fenster = 0; fenster < 2; ++fenster) {
        Logikanalysator* f = Module1::Analysator();
        const QSize frei = f->screen()->availableGeometry().size();
        QVERIFY2(f->width() <= frei.width() && f->height() <= frei.height(),
                 qPrintable(QStringLiteral("%1×%2").arg(f->width()).arg(f->height())));
        // A size remembered from a larger screen shrinks to this one.
        f->resize(frei * 2);
        f->close();
        QTRY_COMPARE(analysatoren(), 0);
    }
}

QTEST_MAIN(TestLogikanalysator)
#include "tst_logikanalysator.moc"
