// The output engine driven through the window: real clicks and keys start
// and stop runs, a recording port with timestamps sees every access, and
// actions scheduled after the n-th write run in the engine's own event pump,
// between two steps, as a user's would.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "fenster/generator/generator_fenster.h"
#include "fenster/module1.h"
#include "fenster/steuerung/steuerung.h"
#include "generator_pruefstand.h"
#include "test_support.h"

using dravel::GeneratorFenster;
using dravel::test::Pruefstand;

namespace {

const QString kTitel = QStringLiteral("Signalgenerator (Unvollendet!!)");

void klicke(QAbstractButton* knopf) {
    QTest::mouseClick(knopf, Qt::LeftButton);
}

void setzeZeile(QComboBox* kanal, const QString& text) {
    const int index = kanal->findText(text);
    if (index >= 0)
        kanal->setCurrentIndex(index);
    else
        kanal->setEditText(text);
}

QList<int> alsListe(const std::vector<int>& werte) {
    return QList<int>(werte.begin(), werte.end());
}

}  // namespace

class TestGeneratorLauf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outputsPatternsOnTheirLines_data();
    void outputsPatternsOnTheirLines();
    void runsUntilStoppedByClickOrEnter_data();
    void runsUntilStoppedByClickOrEnter();
    void showsTheRunInTheCaptions();
    void theButtonShowsStopBeforeTheFirstLevelGoesOut();
    void clickAfterStopInsideTheSameWaitStartsANestedRun();
    void ctrlSEndsALoopRunAtTheEndOfItsPass();
    void lineChangedDuringARunTakesEffectAtTheNextStep();
    void settingsAppliedDuringARunTakeEffectAtTheNextStep();
    void channel2SwitchedOffDuringARunIsNoLongerWritten();
    void refusesToStartWhenOutputsShareALine_data();
    void refusesToStartWhenOutputsShareALine();
    void mainWindowWritesBetweenSteps();
    void closingTheWindowStopsTheRunFirst_data();
    void closingTheWindowStopsTheRunFirst();
    void schliessenEndsTheRunAtOnce();
    void singleStepButtonNeverTouchesThePort();

private:
    void starte() { klicke(fenster->StartStop); }

    Pruefstand stand;
    QPointer<GeneratorFenster> fenster;
};

void TestGeneratorLauf::initTestCase() {
    dravel::test::richteTestanwendungEin();
}

void TestGeneratorLauf::init() {
    Module1::ZurücksetzenFürTest();
    stand.installiere();
    fenster = Module1::Generatorfenster();
    fenster->show();
    QVERIFY(QTest::qWaitForWindowActive(fenster));
}

void TestGeneratorLauf::cleanup() {
    Module1::ZurücksetzenFürTest();
    dravel::port::releaseBackend();
}

void TestGeneratorLauf::outputsPatternsOnTheirLines_data() {
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<bool>("kanal2");
    QTest::addColumn<QString>("zeile1");
    QTest::addColumn<QString>("zeile2");
    QTest::addColumn<QString>("zeitbasis");
    QTest::addColumn<int>("vorher");
    QTest::addColumn<QList<int>>("schreibt");
    QTest::addColumn<QString>("danach1");
    QTest::addColumn<QString>("danach2");

    QTest::newRow("two channels, the second lengthened")
        << "101"
        << "1" << true << "0"
        << "1"
        << "0.1" << 0 << QList<int>{1, 3, 2, 0, 1, 1} << "101"
        << "100";
    QTest::newRow("the first lengthened") << "1"
                                          << "011" << true << "0"
                                          << "1"
                                          << "0.1" << 0 << QList<int>{1, 1, 0, 2, 2, 2} << "100"
                                          << "011";
    QTest::newRow("capitals and their levels") << "h l0x"
                                               << "0" << false << "2"
                                               << "0"
                                               << "0.1" << 0 << QList<int>{4, 0, 0, 0, 4} << "H L0X"
                                               << "00000";
    QTest::newRow("one character is one step") << "1"
                                               << "0" << false << "7"
                                               << "0"
                                               << "0.1" << 0 << QList<int>{0x80} << "1"
                                               << "0";
    QTest::newRow("other lines keep their levels, the last level stays")
        << "01"
        << "0" << false << "3"
        << "0"
        << "0.1" << 0xF0 << QList<int>{0xF0, 0xF8} << "01"
        << "00";
    QTest::newRow("a line that is no number skips its channel")
        << "11"
        << "10" << true << "x"
        << "1"
        << "0.1" << 0 << QList<int>{2, 0} << "11"
        << "10";
    QTest::newRow("line numbers in the locale's format") << "1"
                                                         << "0" << false << "2,5"
                                                         << "0"
                                                         << "0.1" << 0 << QList<int>{4} << "1"
                                                         << "0";
    QTest::newRow("line 9 leaves the port as it was") << "1"
                                                      << "0" << false << "9"
                                                      << "0"
                                                      << "0.1" << 0x55 << QList<int>{0x55} << "1"
                                                      << "0";
    QTest::newRow("line 15 leaves the port as it was") << "1"
                                                       << "0" << false << "15"
                                                       << "0"
                                                       << "0.1" << 0xFF << QList<int>{0xFF} << "1"
                                                       << "0";
    QTest::newRow("line -1 leaves the port as it was") << "0"
                                                       << "0" << false << "-1"
                                                       << "0"
                                                       << "0.1" << 0xFF << QList<int>{0xFF} << "0"
                                                       << "0";
    QTest::newRow("time base 0 still steps") << "10"
                                             << "0" << false << "0"
                                             << "0"
                                             << "0" << 0 << QList<int>{1, 0} << "10"
                                             << "00";
}

void TestGeneratorLauf::outputsPatternsOnTheirLines() {
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(bool, kanal2);
    QFETCH(QString, zeile1);
    QFETCH(QString, zeile2);
    QFETCH(QString, zeitbasis);
    QFETCH(int, vorher);
    QFETCH(QList<int>, schreibt);
    QFETCH(QString, danach1);
    QFETCH(QString, danach2);

    fenster->Zeitbasis->setText(zeitbasis);
    klicke(fenster->Übernehmen);
    fenster->Binärstring->setText(text1);
    fenster->Binärstring2->setText(text2);
    if (kanal2) klicke(fenster->Kanal2En);
    setzeZeile(fenster->AusgabeKanal1, zeile1);
    setzeZeile(fenster->AusgabeKanal2, zeile2);
    stand.haken->setzeRegister(888, std::uint8_t(vorher));

    starte();

    QCOMPARE(alsListe(stand.geschrieben()), schreibt);
    QCOMPARE(int(stand.haken->registerWert(888)), schreibt.last());
    QCOMPARE(fenster->Binärstring->text(), danach1);
    QCOMPARE(fenster->Binärstring2->text(), danach2);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(fenster->laufTiefe(), 0);
}

void TestGeneratorLauf::runsUntilStoppedByClickOrEnter_data() {
    QTest::addColumn<bool>("mitEnter");
    QTest::addColumn<bool>("schleife");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("schreibt");
    QTest::newRow("loop, click") << false << true << "10" << QList<int>{1, 0, 1, 0, 1};
    QTest::newRow("loop, Enter") << true << true << "10" << QList<int>{1, 0, 1, 0, 1};
    // With nothing to output the pass never wraps, so even a single pass
    // runs until stopped, writing low.
    QTest::newRow("empty strings, single pass, click")
        << false << false << "" << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("empty strings, single pass, Enter")
        << true << false << "" << QList<int>{0, 0, 0, 0, 0};
}

void TestGeneratorLauf::runsUntilStoppedByClickOrEnter() {
    QFETCH(bool, mitEnter);
    QFETCH(bool, schleife);
    QFETCH(QString, text);
    QFETCH(QList<int>, schreibt);

    if (schleife) klicke(fenster->OptLoop);
    fenster->Binärstring->setText(text);
    fenster->Binärstring2->setText(QString());
    stand.haken->setzeRegister(888, 0x01);
    fenster->Binärstring->setFocus();
    stand.haken->nachSchreiben(int(schreibt.size()), [this, mitEnter] {
        if (mitEnter)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else
            klicke(fenster->StartStop);
    });

    if (mitEnter)
        QTest::keyClick(fenster->Binärstring, Qt::Key_Return);
    else
        starte();

    // The stop takes effect after the step's wait: no further step follows.
    QCOMPARE(alsListe(stand.geschrieben()), schreibt);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(fenster->windowTitle(), kTitel);
}

void TestGeneratorLauf::showsTheRunInTheCaptions() {
    klicke(fenster->OptLoop);
    QString titelWährend;
    QString knopfWährend;
    stand.haken->nachSchreiben(2, [&] {
        titelWährend = fenster->windowTitle();
        knopfWährend = fenster->StartStop->text();
        klicke(fenster->StartStop);
    });
    starte();
    QCOMPARE(titelWährend, kTitel + QStringLiteral("   [aktiv]"));
    QCOMPARE(knopfWährend, QStringLiteral("Stop"));
    QCOMPARE(fenster->windowTitle(), kTitel);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
}

namespace {
// Notes the caption of a button each time it is painted.
class Malprotokoll : public QObject {
public:
    QStringList texte;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override {
        if (ereignis->type() == QEvent::Paint) {
            texte << static_cast<QAbstractButton*>(objekt)->text();
        }
        return false;
    }
};
}  // namespace

void TestGeneratorLauf::theButtonShowsStopBeforeTheFirstLevelGoesOut() {
    // Its repaint otherwise falls into the first step and stretches it.
    QTest::qWait(50);  // the window's first paints are done
    Malprotokoll protokoll;
    fenster->StartStop->installEventFilter(&protokoll);
    QStringList gemaltBeimErstenSchreiben;
    stand.haken->beimSchreiben([&](int n) {
        if (n == 1) gemaltBeimErstenSchreiben = protokoll.texte;
    });
    fenster->Binärstring->setText(QStringLiteral("10"));
    starte();
    stand.haken->beimSchreiben({});
    fenster->StartStop->removeEventFilter(&protokoll);
    // Earlier paints are the pressed and released "Start".
    QVERIFY(!gemaltBeimErstenSchreiben.isEmpty());
    QCOMPARE(gemaltBeimErstenSchreiben.last(), QStringLiteral("Stop"));
}

void TestGeneratorLauf::clickAfterStopInsideTheSameWaitStartsANestedRun() {
    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("1100"));
    int tiefeWährend = 0;
    // Stop, and at once start again before the running loop has tested the
    // caption: the new run starts from the first character, inside the old.
    stand.haken->nachSchreiben(3, [this] {
        klicke(fenster->StartStop);
        klicke(fenster->StartStop);
    });
    stand.haken->nachSchreiben(5, [&] { tiefeWährend = fenster->laufTiefe(); });
    stand.haken->nachSchreiben(7, [this] { klicke(fenster->StartStop); });

    starte();

    QCOMPARE(tiefeWährend, 2);
    QCOMPARE(alsListe(stand.geschrieben()), (QList<int>{1, 1, 0, 1, 1, 0, 0}));
    QCOMPARE(fenster->laufTiefe(), 0);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(fenster->windowTitle(), kTitel);
}

void TestGeneratorLauf::ctrlSEndsALoopRunAtTheEndOfItsPass() {
    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("110"));
    fenster->Adresse->setFocus();
    stand.haken->nachSchreiben(
        4, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier); });
    starte();
    // Two passes of three: the switch came during the second.
    QCOMPARE(alsListe(stand.geschrieben()), (QList<int>{1, 1, 0, 1, 1, 0}));
    QVERIFY(fenster->OptSingle->isChecked());
}

void TestGeneratorLauf::lineChangedDuringARunTakesEffectAtTheNextStep() {
    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("1"));
    stand.haken->nachSchreiben(2,
                               [this] { setzeZeile(fenster->AusgabeKanal1, QStringLiteral("3")); });
    stand.haken->nachSchreiben(4, [this] { klicke(fenster->StartStop); });
    starte();
    // Line 0 keeps the last level written to it.
    QCOMPARE(alsListe(stand.geschrieben()), (QList<int>{1, 1, 9, 9}));
}

void TestGeneratorLauf::settingsAppliedDuringARunTakeEffectAtTheNextStep() {
    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("1"));
    stand.haken->nachSchreiben(2, [this] {
        fenster->Adresse->setText(QStringLiteral("1000"));
        fenster->Zeitbasis->setText(QStringLiteral("0.2"));
        klicke(fenster->Übernehmen);
    });
    stand.haken->nachSchreiben(4, [this] { klicke(fenster->StartStop); });
    starte();
    QCOMPARE(alsListe(stand.geschrieben(888)), (QList<int>{1, 1}));
    QCOMPARE(alsListe(stand.geschrieben(1000)), (QList<int>{1, 1}));
    QCOMPARE(fenster->Zeitbasiswert, 0.2f);
}

void TestGeneratorLauf::channel2SwitchedOffDuringARunIsNoLongerWritten() {
    klicke(fenster->OptLoop);
    klicke(fenster->Kanal2En);
    fenster->Binärstring->setText(QStringLiteral("1"));
    fenster->Binärstring2->setText(QStringLiteral("1"));
    setzeZeile(fenster->AusgabeKanal2, QStringLiteral("4"));
    stand.haken->nachSchreiben(2, [this] { klicke(fenster->Kanal2En); });
    stand.haken->nachSchreiben(4, [this] { klicke(fenster->StartStop); });
    starte();
    // Line 4 keeps its high level.
    QCOMPARE(alsListe(stand.geschrieben()), (QList<int>{1, 0x11, 0x11, 0x11}));
    QVERIFY(!fenster->Frame4->isEnabled());
}

void TestGeneratorLauf::refusesToStartWhenOutputsShareALine_data() {
    QTest::addColumn<bool>("takt");
    QTest::addColumn<bool>("kanal2");
    QTest::addColumn<QString>("zeile1");
    QTest::addColumn<QString>("zeile2");
    QTest::addColumn<QString>("taktZeile");
    QTest::addColumn<bool>("abgelehnt");
    QTest::newRow("all on line 0, channel 2 on") << false << true << "0"
                                                 << "0"
                                                 << "0" << true;
    QTest::newRow("channels equal, refused though channel 2 is off") << true << false << "1"
                                                                     << "1"
                                                                     << "2" << true;
    QTest::newRow("clock on channel 1's line but switched off") << false << true << "1"
                                                                << "2"
                                                                << "1" << false;
    QTest::newRow("clock on channel 2's line") << true << true << "1"
                                               << "2"
                                               << "2" << true;
    QTest::newRow("clock on channel 1's line") << true << false << "5"
                                               << "6"
                                               << "5" << true;
    QTest::newRow("three different lines") << true << true << "1"
                                           << "2"
                                           << "3" << false;
    QTest::newRow("neither clock nor channel 2") << false << false << "0"
                                                 << "0"
                                                 << "0" << false;
}

void TestGeneratorLauf::refusesToStartWhenOutputsShareALine() {
    QFETCH(bool, takt);
    QFETCH(bool, kanal2);
    QFETCH(QString, zeile1);
    QFETCH(QString, zeile2);
    QFETCH(QString, taktZeile);
    QFETCH(bool, abgelehnt);

    // A refused start first, so the warning labels are showing.
    klicke(fenster->Kanal2En);
    starte();
    QVERIFY(fenster->Identisch->isVisible());
    klicke(fenster->Kanal2En);

    fenster->Binärstring->setText(QStringLiteral("1"));
    fenster->Binärstring2->setText(QStringLiteral("01"));
    setzeZeile(fenster->AusgabeKanal1, zeile1);
    setzeZeile(fenster->AusgabeKanal2, zeile2);
    if (takt) klicke(fenster->TaktEn);
    setzeZeile(fenster->TaktKanal, taktZeile);
    if (kanal2) klicke(fenster->Kanal2En);
    stand.aufzeichnung->clearLog();

    starte();

    QCOMPARE(stand.aufzeichnung->writes().empty(), abgelehnt);
    QCOMPARE(fenster->Identisch->isVisible(), abgelehnt);
    QCOMPARE(fenster->Identisch2->isVisible(), abgelehnt);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(fenster->windowTitle(), kTitel);
    // The strings were prepared before the check, refused or not.
    QCOMPARE(fenster->Binärstring->text(), QStringLiteral("10"));
}

void TestGeneratorLauf::mainWindowWritesBetweenSteps() {
    dravel::Steuerung* haupt = Module1::Hauptfenster();
    haupt->show();
    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("10"));
    fenster->Zeitbasis->setText(QStringLiteral("0"));
    klicke(fenster->Übernehmen);
    stand.haken->nachSchreiben(2, [haupt] { haupt->Alle_Click(); });
    stand.haken->nachSchreiben(5, [this] { klicke(fenster->StartStop); });
    starte();
    // The generator changes only its own line; the main window's byte
    // stays on the others.
    QCOMPARE(alsListe(stand.geschrieben()), (QList<int>{1, 0, 0xFF, 0xFF, 0xFE}));
}

void TestGeneratorLauf::closingTheWindowStopsTheRunFirst_data() {
    QTest::addColumn<bool>("mitEnter");
    QTest::addColumn<bool>("verschachtelt");
    QTest::addColumn<bool>("ausEreignisschleife");
    QTest::newRow("run started by a click") << false << false << false;
    QTest::newRow("run started by Enter") << true << false << false;
    QTest::newRow("closed inside a nested run") << false << true << false;
    // As in the program: the click arrives from a running event loop.
    QTest::newRow("click from the event loop") << false << false << true;
    QTest::newRow("Enter from the event loop") << true << false << true;
    QTest::newRow("nested, from the event loop") << false << true << true;
}

void TestGeneratorLauf::closingTheWindowStopsTheRunFirst() {
    QFETCH(bool, mitEnter);
    QFETCH(bool, verschachtelt);
    QFETCH(bool, ausEreignisschleife);
    klicke(fenster->OptLoop);
    int schreibt = 3;
    if (verschachtelt) {
        stand.haken->nachSchreiben(2, [this] {
            klicke(fenster->StartStop);
            klicke(fenster->StartStop);
        });
        schreibt = 4;
    }
    stand.haken->nachSchreiben(schreibt, [this] { fenster->close(); });

    fenster->Binärstring->setFocus();
    const auto los = [&] {
        if (mitEnter)
            QTest::keyClick(fenster->Binärstring, Qt::Key_Return);
        else
            starte();
    };
    if (ausEreignisschleife) {
        QEventLoop schleife;
        QTimer::singleShot(0, &schleife, [&] {
            los();
            schleife.quit();
        });
        schleife.exec();
    } else {
        los();
    }

    QCOMPARE(stand.geschrieben().size(), std::size_t(schreibt));
    QVERIFY(!fenster->isVisible());
    // A closed window still unwinding its run is no generator window any more.
    GeneratorFenster* neu = Module1::Generatorfenster();
    QVERIFY(neu != fenster.data());
    QTRY_VERIFY(fenster.isNull());
    QCOMPARE(neu->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(neu->windowTitle(), kTitel);
}

void TestGeneratorLauf::schliessenEndsTheRunAtOnce() {
    klicke(fenster->OptLoop);
    stand.haken->nachSchreiben(3, [] { Module1::Beenden(); });
    starte();
    QVERIFY(Module1::ProgrammEndet());
    QCOMPARE(stand.geschrieben().size(), std::size_t(3));
    QCOMPARE(fenster->laufTiefe(), 0);
    QVERIFY(!fenster->isVisible());
}

void TestGeneratorLauf::singleStepButtonNeverTouchesThePort() {
    klicke(fenster->Einzeltakt);
    klicke(fenster->Einzeltakt);
    QVERIFY(stand.aufzeichnung->calls().empty());
    QCOMPARE(fenster->EinzeltaktAngefordert, std::int16_t(-1));

    klicke(fenster->OptLoop);
    fenster->Binärstring->setText(QStringLiteral("1"));
    stand.haken->nachSchreiben(2, [this] { klicke(fenster->Einzeltakt); });
    stand.haken->nachSchreiben(3, [this] { klicke(fenster->StartStop); });
    starte();
    // One read and one write per step, nothing more.
    QCOMPARE(stand.aufzeichnung->writes().size(), std::size_t(3));
    QCOMPARE(stand.aufzeichnung->reads().size(), std::size_t(3));
}

QTEST_MAIN(TestGeneratorLauf)
#include "tst_generator_lauf.moc"
