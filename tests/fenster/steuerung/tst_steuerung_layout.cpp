// The main window as built, in two fonts: no control over another or outside
// its container, no status text or caption clipped (the generator's
// captions too); and the start state a user sees.
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include "fenster/gemeinsam/klick_label.h"
#include "fenster/gemeinsam/schrift.h"
#include "fenster/gemeinsam/statusleiste.h"
#include "fenster/generator/generator_fenster.h"
#include "fenster/module1.h"
#include "fenster/steuerung/steuerung.h"
#include "logik/register_texte.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;

class TestSteuerungLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void initTestCase_data();
    void init();
    void cleanup();
    void noTwoVisibleControlsOverlap();
    void everyControlLiesInsideItsContainer();
    void noPanelTextIsClipped();
    void noCaptionIsClipped();
    void controlsSharingAColumnKeepSharingIt();
    void liberationSansKeepsTheTablesPlaces();
    void tabOrderFollowsTheTabIndex();
    void extrasMenuShowsOnlyItsFixedItemsAtStart();
    void windowHasFixedClientAreaTitleAndIcon();
    void startStateIsAsTheUserFirstSeesIt();
    void nothingTouchesThePortDuringStart();

private:
    Steuerung* fenster = nullptr;
    port::RecordingPort* port = nullptr;
};

void TestSteuerungLayout::initTestCase() {
    test::richteTestanwendungEin();
}

void TestSteuerungLayout::initTestCase_data() {
    // The first substitute the program asks for, and Debian's default font
    // where the Liberation fonts are missing.
    QTest::addColumn<QString>("schrift");
    QTest::newRow("Liberation Sans") << QStringLiteral("Liberation Sans");
    QTest::newRow("DejaVu Sans") << QStringLiteral("DejaVu Sans");
}

void TestSteuerungLayout::init() {
    QFETCH_GLOBAL(QString, schrift);
    if (!QFontDatabase::hasFamily(schrift)) QSKIP("font not installed");
    for (const char* ersetzt : {"MS Sans Serif", "Arial"}) {
        QFont::removeSubstitutions(QString::fromLatin1(ersetzt));
        QFont::insertSubstitutions(QString::fromLatin1(ersetzt), {schrift});
    }
    // The application's font is resolved anew, so that no font of the
    // previous row stays in use.
    QApplication::setFont(QFont());
    QApplication::setFont(schrift::standard());
    port = &test::installiereAufzeichnung();
    Module1::Main();
    fenster = Module1::Hauptfenster();
    QVERIFY(QTest::qWaitForWindowExposed(fenster));
    QCOMPARE(QFontInfo(fenster->StatusBar->panel(1)->font()).family(), schrift);
}

void TestSteuerungLayout::cleanup() {
    Module1::ZurücksetzenFürTest();
}

namespace {

// The controls the user sees, container by container: the client area, its
// frames and the status bar. The author label is left out: it is drawn cut
// off at the window's corner, over the frame beside it.
QList<QList<QWidget*>> sichtbareGeschwister(Steuerung* fenster) {
    QList<QWidget*> behälter{fenster->centralWidget(), fenster->StatusBar};
    for (auto* rahmen : fenster->centralWidget()->findChildren<QGroupBox*>()) behälter << rahmen;
    QList<QList<QWidget*>> gruppen;
    for (QWidget* b : behälter) {
        QList<QWidget*> kinder;
        for (auto* w : b->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->isVisible() && w != fenster->Label1) kinder << w;
        }
        gruppen << kinder;
    }
    return gruppen;
}

// Where a control draws: a label only where its text goes (a label may
// reach under its neighbour where it has no text), anything else its whole box.
QRect belegt(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    if (!label) return w->geometry();
    return QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                               label->sizeHint().boundedTo(label->size()), label->geometry());
}

}  // namespace

void TestSteuerungLayout::noTwoVisibleControlsOverlap() {
    for (const auto& kinder : sichtbareGeschwister(fenster)) {
        for (qsizetype i = 0; i < kinder.size(); ++i) {
            for (qsizetype j = i + 1; j < kinder.size(); ++j) {
                // Neighbours may share one border line, as stacked labels do.
                const QRect schnitt = belegt(kinder[i]) & belegt(kinder[j]);
                QVERIFY2(schnitt.width() <= 1 || schnitt.height() <= 1,
                         qPrintable(kinder[i]->objectName() + " / " + kinder[j]->objectName()));
            }
        }
    }
}

void TestSteuerungLayout::everyControlLiesInsideItsContainer() {
    for (const auto& kinder : sichtbareGeschwister(fenster)) {
        for (QWidget* w : kinder) {
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()),
                     qPrintable(w->objectName()));
        }
    }
}

void TestSteuerungLayout::noPanelTextIsClipped() {
    // Every text a panel can show, measured by the panel itself.
    for (int nummer = 1; nummer <= 4; ++nummer) {
        QLabel* panel = fenster->StatusBar->panel(nummer);
        for (int wert = 0; wert < 256; ++wert) {
            const QString text = nummer < 4 ? statusText(nummer, std::int16_t(wert))
                                            : QStringLiteral("%1%1:%1%1").arg(wert % 10);
            fenster->StatusBar->setzeText(nummer, text);
            QVERIFY2(panel->sizeHint().width() <= panel->width(),
                     qPrintable(QStringLiteral("%1 in %2 px").arg(text).arg(panel->width())));
        }
    }
}

namespace {

// How wide a control's caption is as the user sees it; -1 where it shows
// none (no text, a bare check box, the author label cut at the corner).
int beschriftung(const QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    if (w->objectName() == QLatin1String("Label1")) return -1;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text().isEmpty() ? -1 : label->sizeHint().width();
    }
    if (const auto* rahmen = qobject_cast<const QGroupBox*>(w)) {
        return fm.horizontalAdvance(rahmen->title()) + 10;  // drawn from x = 6, 2 px margins
    }
    const auto* knopf = qobject_cast<const QAbstractButton*>(w);
    if (!knopf || knopf->text().isEmpty()) return -1;
    // A control more than one line high wraps its caption at blanks.
    int text = 0;
    const bool umbricht = w->height() > fm.height() * 3 / 2;
    for (const QString& teil : umbricht ? knopf->text().split(' ') : QStringList{knopf->text()}) {
        text = std::max(text, fm.horizontalAdvance(teil));
    }
    if (qobject_cast<const QPushButton*>(w)) return text;
    // A radio button's caption follows the style's spacing; Dravel's check
    // boxes draw theirs 5 px after the box's last column.
    const QStyle* stil = w->style();
    const int kasten = qobject_cast<const QRadioButton*>(w)
                           ? stil->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                                 stil->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)
                           : stil->pixelMetric(QStyle::PM_IndicatorWidth) + 4;
    return w->width() <= kasten ? -1 : kasten + text;
}

}  // namespace

void TestSteuerungLayout::noCaptionIsClipped() {
    // Each caption fits its box and ends a little before any control (other
    // than a label it reads on into) to its right in the same rows.
    QStringList abgeschnitten;
    for (QWidget* f : QList<QWidget*>{fenster, Module1::Generatorfenster()}) {
        for (QWidget* w : f->findChildren<QWidget*>()) {
            const int breite = beschriftung(w);
            if (breite < 0 || qobject_cast<QStatusBar*>(w->parentWidget())) continue;
            bool passt = breite <= w->width();
            for (QWidget* n :
                 w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const bool rechts = n->x() > w->x() && n->y() < w->geometry().bottom() &&
                                    w->y() < n->geometry().bottom();
                if (rechts && !qobject_cast<QLabel*>(n)) passt &= w->x() + breite + 2 <= n->x();
            }
            if (!passt) abgeschnitten << w->objectName();
        }
    }
    QCOMPARE(abgeschnitten, QStringList());
}

namespace {

using Tabelle = std::pair<QWidget*, std::span<const layout::Steuerelement>>;

QList<Tabelle> tabellen(Steuerung* fenster) {
    return {{fenster, steuerungSteuerelemente()},
            {Module1::Generatorfenster(), generatorSteuerelemente()}};
}

}  // namespace

void TestSteuerungLayout::controlsSharingAColumnKeepSharingIt() {
    for (const auto& [f, tabelle] : tabellen(fenster)) {
        for (const layout::Steuerelement& a : tabelle) {
            for (const layout::Steuerelement& b : tabelle) {
                if (a.container != b.container || a.links != b.links || a.breite != b.breite)
                    continue;
                const auto* wa = f->findChild<QWidget*>(layout::text(a.name));
                const auto* wb = f->findChild<QWidget*>(layout::text(b.name));
                if (!wa || !wb) continue;
                QVERIFY2(wa->x() == wb->x() && wa->width() == wb->width(),
                         qPrintable(wa->objectName() + " / " + wb->objectName()));
            }
        }
    }
}

void TestSteuerungLayout::liberationSansKeepsTheTablesPlaces() {
    // The tables were drawn for this font: every control stays where its
    // table puts it, and the windows keep their size.
    QFETCH_GLOBAL(QString, schrift);
    if (schrift != QLatin1String("Liberation Sans")) QSKIP("drawn for Liberation Sans");
    QStringList verschoben;
    for (const auto& [f, tabelle] : tabellen(fenster)) {
        for (const layout::Steuerelement& e : tabelle) {
            const auto* w = f->findChild<QWidget*>(layout::text(e.name));
            if (w && w->pos() != QPoint(layout::inPixel(e.links), layout::inPixel(e.oben))) {
                verschoben << w->objectName();
            }
        }
    }
    QCOMPARE(verschoben, QStringList());
    QCOMPARE(fenster->centralWidget()->size(), QSize(360, 203));
    QCOMPARE(Module1::Generatorfenster()->size(), QSize(430, 351));
    QCOMPARE(fenster->Frame1->width(), 81);
}

void TestSteuerungLayout::tabOrderFollowsTheTabIndex() {
    // The focusable controls by tab index, as the user tabs through them.
    const QStringList erwartet{"Eingabe_dec",   "Eingabe_hex",   "Eingabe_bin",
                               "Einlesen_dec",  "Einlesen_hex",  "Einlesen_bin",
                               "Einlesenknopf", "Perm_Einlesen", "Ausgabeknopf"};
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
    QCOMPARE(ansicht->menu()->actions().size(), 3);
    QCOMPARE(ansicht->menu()->actions().at(0)->text(), QStringLiteral("Steckerbelegung (DB-25)…"));
    QCOMPARE(ansicht->menu()->actions().at(1)->text(), QStringLiteral("Logikanalysator…"));
    QCOMPARE(ansicht->menu()->actions().at(2)->text(), QStringLiteral("Portprüfung…"));
}

void TestSteuerungLayout::windowHasFixedClientAreaTitleAndIcon() {
    QCOMPARE(fenster->windowTitle(), QStringLiteral("Dravel v1.6"));
    // 360 x 203, wider only where the status texts need more in this font.
    const int breite = std::max(360, fenster->StatusBar->sizeHint().width());
    QCOMPARE(fenster->centralWidget()->size(), QSize(breite, 203));
    QCOMPARE(fenster->minimumSize(), fenster->maximumSize());
    QVERIFY(!fenster->windowIcon().isNull());
    QCOMPARE(fenster->windowIcon().availableSizes().value(0), QSize(50, 50));
    // The author label starts above the client area and is cut at its right edge.
    QVERIFY(fenster->Label1->geometry().top() < 0);
    QVERIFY(fenster->Label1->geometry().right() >= 360);
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
