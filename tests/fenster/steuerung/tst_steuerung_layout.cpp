// Walks the main window's layout tables against the widgets and menu items
// the window built, and checks the start state a user sees.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "fenster/module1.h"
#include "fenster/gemeinsam/klick_label.h"
#include "fenster/gemeinsam/layout.h"
#include "fenster/gemeinsam/statusleiste.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;
using layout::Art;

class TestSteuerungLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyControlIsBuiltAsTheTableSays_data();
    void everyControlIsBuiltAsTheTableSays();
    void tabOrderFollowsTheTabIndex();
    void everyMenuItemIsBuiltAsTheTableSays_data();
    void everyMenuItemIsBuiltAsTheTableSays();
    void extrasMenuShowsOnlyItsFixedItemsAtStart();
    void windowHasFixedClientAreaTitleAndIcon();
    void startStateIsAsTheUserFirstSeesIt();
    void nothingTouchesThePortDuringStart();

private:
    Steuerung* fenster = nullptr;
    port::RecordingPort* port = nullptr;
};

void TestSteuerungLayout::initTestCase() { test::richteTestanwendungEin(); }

void TestSteuerungLayout::init() {
    port = &test::installiereAufzeichnung();
    Module1::Main();
    fenster = Module1::Hauptfenster();
    QVERIFY(QTest::qWaitForWindowExposed(fenster));
}

void TestSteuerungLayout::cleanup() { Module1::ZurücksetzenFürTest(); }

void TestSteuerungLayout::everyControlIsBuiltAsTheTableSays_data() {
    QTest::addColumn<int>("zeile");
    const auto tabelle = steuerungSteuerelemente();
    for (int i = 0; i < int(tabelle.size()); ++i) {
        QTest::newRow(layout::text(tabelle[i].name).toUtf8().constData()) << i;
    }
}

void TestSteuerungLayout::everyControlIsBuiltAsTheTableSays() {
    QFETCH(int, zeile);
    const layout::Steuerelement& e = steuerungSteuerelemente()[zeile];
    const QString name = layout::text(e.name);
    QObject* objekt = fenster->findChild<QObject*>(name);
    QVERIFY2(objekt, qPrintable(name));

    if (e.art == Art::Zeitgeber) {
        auto* timer = qobject_cast<QTimer*>(objekt);
        QVERIFY(timer);
        QCOMPARE(timer->interval(), e.intervall);
        QCOMPARE(timer->isActive(), bool(e.merkmale & layout::Läuft));
        return;
    }

    auto* w = qobject_cast<QWidget*>(objekt);
    QVERIFY(w);
    const QString text = layout::text(e.text);
    switch (e.art) {
        case Art::Rahmen:
            QVERIFY(qobject_cast<QGroupBox*>(w));
            QCOMPARE(qobject_cast<QGroupBox*>(w)->title(), text);
            break;
        case Art::Textfeld: {
            auto* feld = qobject_cast<QLineEdit*>(w);
            QVERIFY(feld);
            QCOMPARE(feld->isReadOnly(), bool(e.merkmale & layout::Schreibgeschützt));
            if (e.maxLänge > 0) QCOMPARE(feld->maxLength(), e.maxLänge);
            // The decimal field has the focus and was emptied at start.
            if (name != "Eingabe_dec") QCOMPARE(feld->text(), text);
            break;
        }
        case Art::Knopf:
            QVERIFY(qobject_cast<QPushButton*>(w));
            QCOMPARE(qobject_cast<QPushButton*>(w)->text(), text);
            break;
        case Art::Kontrollkästchen:
            QVERIFY(qobject_cast<QCheckBox*>(w));
            QCOMPARE(qobject_cast<QCheckBox*>(w)->text(), text);
            QCOMPARE(qobject_cast<QCheckBox*>(w)->isChecked(), false);
            break;
        case Art::Bezeichnung: {
            auto* label = qobject_cast<QLabel*>(w);
            QVERIFY(label);
            QCOMPARE(label->text(), text);
            QCOMPARE(qobject_cast<KlickLabel*>(w) != nullptr, bool(e.merkmale & layout::Klickbar));
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
            break;
        }
        case Art::Statusleiste:
            QVERIFY(dynamic_cast<Statusleiste*>(w));
            break;
        default:
            QFAIL("kind not used in the main window");
    }

    // Container: a frame by name, or the window's client area.
    const QString container = layout::text(e.container);
    if (container.isEmpty()) QCOMPARE(w->parentWidget(), fenster->centralWidget());
    else QCOMPARE(w->parentWidget()->objectName(), container);

    // Twips / 15 = pixels, rounded.
    QCOMPARE(w->geometry(), QRect(qRound(e.links / 15.0), qRound(e.oben / 15.0),
                                  qRound(e.breite / 15.0), qRound(e.höhe / 15.0)));
    QCOMPARE(w->toolTip(), layout::text(e.tooltip));
    QCOMPARE(w->isEnabled(), !(e.merkmale & layout::Gesperrt));
    QCOMPARE(w->isVisibleTo(fenster), !(e.merkmale & layout::Verborgen));

    // Fonts: bold 8.25 pt (11 px) for the bit and mode labels, 6.75 pt
    // (9 px) for the author label, the window's standard font elsewhere.
    if (e.merkmale & layout::FettSchrift) {
        QVERIFY(w->font().bold());
        QCOMPARE(w->font().pixelSize(), 11);
    } else if (e.merkmale & layout::KleineSchrift) {
        QCOMPARE(w->font().pixelSize(), 9);
        QVERIFY(!w->font().bold());
    } else if (name != "bin_counter") {
        QCOMPARE(w->font().pixelSize(), 11);
        QVERIFY(!w->font().bold());
    }
}

void TestSteuerungLayout::tabOrderFollowsTheTabIndex() {
    // The focusable controls by tab index, as the user tabs through them.
    const QStringList erwartet{"Eingabe_dec",   "Eingabe_hex",   "Eingabe_bin",  "Einlesen_dec",
                               "Einlesen_hex",  "Einlesen_bin",  "Einlesenknopf", "Perm_Einlesen",
                               "Ausgabeknopf"};
    QStringList gefunden;
    QWidget* w = fenster->Eingabe_dec;
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->isVisible() && w->isEnabled()) {
            gefunden << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != fenster->Eingabe_dec && gefunden.size() < 20);
    QCOMPARE(gefunden, erwartet);
}

void TestSteuerungLayout::everyMenuItemIsBuiltAsTheTableSays_data() {
    QTest::addColumn<int>("zeile");
    const auto tabelle = steuerungMenüs();
    for (int i = 0; i < int(tabelle.size()); ++i) {
        QTest::newRow(layout::text(tabelle[i].name).toUtf8().constData()) << i;
    }
}

void TestSteuerungLayout::everyMenuItemIsBuiltAsTheTableSays() {
    QFETCH(int, zeile);
    const layout::Menüeintrag& m = steuerungMenüs()[zeile];
    const QString name = layout::text(m.name);
    QAction* aktion = qobject_cast<QAction*>(fenster->objekte().nachName.value(name));
    QVERIFY2(aktion, qPrintable(name));
    QCOMPARE(aktion->objectName(), name);
    QCOMPARE(aktion->isSeparator(), m.art == layout::MenüArt::Trenner);
    if (!aktion->isSeparator()) QCOMPARE(aktion->text(), layout::text(m.text));
    // Hidden actions report themselves disabled; none is disabled on its own.
    QVERIFY(aktion->isEnabled() || !aktion->isVisible());
    QVERIFY(!aktion->isChecked());
    // "Verlauf" is hidden as the window loads; everything else as the table says.
    QCOMPARE(aktion->isVisible(), m.sichtbar && name != "Verlauf");

    const QString eltern = layout::text(m.eltern);
    if (eltern.isEmpty()) {
        QVERIFY(fenster->menuBar()->actions().contains(aktion));
    } else {
        auto* menü = fenster->findChild<QMenu*>(eltern);
        QVERIFY(menü);
        QVERIFY(menü->actions().contains(aktion));
    }
    if (m.art == layout::MenüArt::Titel || m.art == layout::MenüArt::Untermenü) {
        QVERIFY(aktion->menu());
    }
}

void TestSteuerungLayout::extrasMenuShowsOnlyItsFixedItemsAtStart() {
    auto* extras = fenster->findChild<QMenu*>("Extras");
    QVERIFY(extras);
    QStringList sichtbar;
    for (QAction* a : extras->actions()) {
        if (a->isVisible()) sichtbar << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    QCOMPARE(sichtbar, (QStringList{"Zeit", "Nummer", "-", "Programm AUFHÄNGEN(!)"}));
    QCOMPARE(fenster->menuBar()->actions().size(), 4);
    QCOMPARE(fenster->menuBar()->actions().at(2)->text(), QStringLiteral("Generatorkonsole"));
    QVERIFY(!fenster->menuBar()->actions().at(2)->menu());
    const QAction* ansicht = fenster->menuBar()->actions().at(3);
    QCOMPARE(ansicht->text(), QStringLiteral("Ansicht"));
    QVERIFY(ansicht->menu());
    QCOMPARE(ansicht->menu()->actions().size(), 2);
    QCOMPARE(ansicht->menu()->actions().at(0)->text(),
             QStringLiteral("Steckerbelegung (DB-25)…"));
    QCOMPARE(ansicht->menu()->actions().at(1)->text(), QStringLiteral("Logikanalysator…"));
}

void TestSteuerungLayout::windowHasFixedClientAreaTitleAndIcon() {
    QCOMPARE(fenster->windowTitle(), QStringLiteral("Dravel v1.6"));
    QCOMPARE(fenster->centralWidget()->size(), QSize(360, 203));
    QCOMPARE(fenster->minimumSize(), fenster->maximumSize());
    QVERIFY(!fenster->windowIcon().isNull());
    QCOMPARE(fenster->windowIcon().availableSizes().value(0), QSize(50, 50));
    // The author label starts above the client area and is cut at its right edge.
    QVERIFY(fenster->Label1->geometry().top() < 0);
    QVERIFY(fenster->Label1->geometry().right() > fenster->centralWidget()->width());
}

void TestSteuerungLayout::startStateIsAsTheUserFirstSeesIt() {
    QCOMPARE(fenster->Eingabe_dec->text(), QString());
    QCOMPARE(fenster->Eingabe_hex->text(), QStringLiteral("Hex"));
    QCOMPARE(fenster->Eingabe_bin->text(), QStringLiteral("Binär"));
    // The binary field kept its text, so its count was never run.
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 0 Bits."));
    for (int i = 1; i <= 3; ++i) QCOMPARE(fenster->StatusBar->text(i), QString());
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d$").match(fenster->StatusBar->text(4)).hasMatch());
    QCOMPARE(fenster->StatusBar->toolTip(),
             QStringLiteral("Zeigt Inhalte der Register an, jede Sekunde aktualisiert."));
    QCOMPARE(fenster->DatenPort, std::int16_t(888));
    QCOMPARE(fenster->StatusPort, std::int16_t(889));
    QCOMPARE(fenster->ControlPort, std::int16_t(890));
    QCOMPARE(Module1::Fenstertitel, QStringLiteral("Dravel v1.6"));
    QVERIFY(!fenster->Timer1->isActive());
    QVERIFY(fenster->Timer2->isActive());
}

void TestSteuerungLayout::nothingTouchesThePortDuringStart() {
    // The first port access is the status refresh one second after loading.
    QVERIFY(port->calls().empty());
    QTRY_VERIFY_WITH_TIMEOUT(!port->calls().empty(), 3000);
    QCOMPARE(port->calls().front().kind, port::RecordingPort::Kind::Read);
    QCOMPARE(port->calls().front().port, std::uint16_t(888));
}

QTEST_MAIN(TestSteuerungLayout)
#include "tst_steuerung_layout.moc"
