#include "zeitdiagramm.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "logik/einheiten.h"
#include "logik/puls.h"
#include "port/pin_map.h"

namespace dravel {
namespace {

using analysator::Aufnahme;
using analysator::Bus;
using analysator::Pegel;
using analysator::Spalte;
using analysator::Stand;

constexpr double kKleinsteSpanneNs = 50;
constexpr int kCursorGriff = 5;  // pixels either side of a cursor that grab it
constexpr int kStrich = 1;       // traces in logical pixels: never thinner at any scale

// The levels' y in a row's band.
struct Höhen {
    int hoch, tief;
    explicit Höhen(const QRect& band) {
        const int rand = std::max(3, band.height() / 5);
        hoch = band.top() + rand;
        tief = band.bottom() - rand;
    }
};

// Runs of columns that draw alike: each run [von, bis) of equal `art(c)`
// handed to `zeichne(art, von, bis)`.
template <typename Art, typename Zeichne>
void läufe(int breite, Art art, Zeichne zeichne) {
    int von = 0;
    auto jetzt = breite > 0 ? art(0) : decltype(art(0)){};
    for (int c = 1; c <= breite; ++c) {
        if (c < breite) {
            auto neu = art(c);
            if (neu == jetzt) continue;
            zeichne(jetzt, von, c);
            jetzt = neu;
            von = c;
        } else {
            zeichne(jetzt, von, c);
        }
    }
}

QColor gitterfarbe() {
    return QColor(0x2A, 0x32, 0x3C);
}
QColor schriftfarbe() {
    return QColor(0xC8, 0xD0, 0xD8);
}
QColor farbeA() {
    return QColor(0xFF, 0xD2, 0x3C);
}
QColor farbeB() {
    return QColor(0x46, 0xC8, 0xFF);
}
QColor auslöserfarbe() {
    return QColor(0xFF, 0x8C, 0x3C);
}

}  // namespace

Zeitdiagramm::Zeitdiagramm(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("Zeitdiagramm"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(10);
    setAccessibleName(QStringLiteral("Zeitdiagramm"));
    messeNamen();
    passeLeisteAn();
}

Zeitdiagramm::~Zeitdiagramm() = default;

void Zeitdiagramm::zeige(std::shared_ptr<const Aufnahme> aufnahme) {
    aufnahme_ = std::move(aufnahme);
    spalten_ = {};
    cursorA.reset();
    cursorB.reset();
    folgt = false;
    aufgeteilt_.assign(aufnahme_ ? aufnahme_->busse.size() : 0, false);
    ordneZeilen();
    messeNamen();
    if (aufnahme_) spalten_.folge(*aufnahme_);
    allesZeigen();
}

void Zeitdiagramm::ordneZeilen() {
    zeilen_.clear();
    if (!aufnahme_) return;
    const auto& leitungen = aufnahme_->leitungen();
    std::vector<bool> gezeigt(aufnahme_->busse.size(), false);
    // A bus stands where its first line would.
    for (std::size_t l = 0; l < leitungen.size(); ++l) {
        const int bus = leitungen[l].bus;
        const bool imBus = bus >= 0 && std::size_t(bus) < gezeigt.size();
        if (!imBus || aufgeteilt_[std::size_t(bus)]) {
            zeilen_.push_back({int(l), -1});
        } else if (!gezeigt[std::size_t(bus)]) {
            gezeigt[std::size_t(bus)] = true;
            zeilen_.push_back({-1, bus});
        }
    }
    for (std::size_t z = 0; z < zusatz_.size(); ++z) zeilen_.push_back({-1, -1, int(z)});
}

void Zeitdiagramm::setzeZusatzzeilen(std::vector<Zusatzzeile> zeilen) {
    zusatz_ = std::move(zeilen);
    ordneZeilen();
    messeNamen();
    passeLeisteAn();
    viewport()->update();
}

void Zeitdiagramm::zeigeBereich(double anfangNs_, double endeNs_) {
    folgt = false;
    const double spanne = std::max(sichtSpanne_, (endeNs_ - anfangNs_) * 1.25);
    setzeSicht((anfangNs_ + endeNs_) / 2 - spanne / 2, spanne);
}

int Zeitdiagramm::busVon(int zeile) const {
    if (zeile < 0 || zeile >= zeilenzahl()) return -1;
    const Zeile& z = zeilen_[std::size_t(zeile)];
    if (z.zusatz >= 0) return -1;
    return z.bus >= 0 ? z.bus : aufnahme_->leitungen()[std::size_t(z.leitung)].bus;
}

void Zeitdiagramm::teileBus(int bus, bool aufteilen) {
    if (bus < 0 || std::size_t(bus) >= aufgeteilt_.size()) return;
    if (aufgeteilt_[std::size_t(bus)] == aufteilen) return;
    aufgeteilt_[std::size_t(bus)] = aufteilen;
    ordneZeilen();
    passeLeisteAn();
    viewport()->update();
}

double Zeitdiagramm::anfangNs() const {
    if (!aufnahme_) return 0;
    if (spalten_.anzahl() > 0) return double((*aufnahme_)[0].zeitNs);
    return double(aufnahme_->nullpunktNs);
}

double Zeitdiagramm::endeNs() const {
    if (!aufnahme_) return 1e6;
    // What has been taken in, not what the recording says now: the view and
    // the columns agree, and rolle() sees the capture look further.
    return std::max(double(spalten_.bisNs()), anfangNs() + 1000);
}

void Zeitdiagramm::setzeSicht(double anfangNs_, double spanneNs) {
    const double anf = anfangNs(), ende = endeNs();
    double spanne = std::max(spanneNs, kKleinsteSpanneNs);
    if (!folgt) spanne = std::min(spanne, std::max(ende - anf, kKleinsteSpanneNs));
    const double start = std::clamp(anfangNs_, anf, std::max(anf, ende - spanne));
    if (start == sichtAnfang_ && spanne == sichtSpanne_) return;
    sichtAnfang_ = start;
    sichtSpanne_ = spanne;
    geändert();
}

void Zeitdiagramm::allesZeigen() {
    const double anf = anfangNs();
    sichtAnfang_ = -1;  // always announce
    setzeSicht(anf, endeNs() - anf);
}

void Zeitdiagramm::zoome(double faktor, double umNs) {
    if (!(faktor > 0)) return;
    const double spanne = sichtSpanne_ / faktor;
    const double anteil = (umNs - sichtAnfang_) / sichtSpanne_;
    // Zooming in picks a place to look at: the view stops following.
    if (faktor > 1) folgt = false;
    setzeSicht(umNs - anteil * spanne, spanne);
}

void Zeitdiagramm::rolle() {
    if (!aufnahme_) return;
    const auto stand = [&] {
        return std::tuple(spalten_.anzahl(), spalten_.bisNs(), spalten_.lücken().size());
    };
    const auto vorher = stand();
    // A quiet line changes nothing but how far the capture looked: that too
    // moves the view.
    spalten_.folge(*aufnahme_);
    if (stand() == vorher) return;
    if (folgt) {
        const double anf = anfangNs();
        sichtAnfang_ = std::max(anf, endeNs() - sichtSpanne_);
    }
    geändert();
}

void Zeitdiagramm::setzeCursor(bool b, std::optional<double> ns) {
    (b ? cursorB : cursorA) = ns;
    if (beiÄnderung) beiÄnderung();
    viewport()->update();
}

double Zeitdiagramm::fangeKante(double x) const {
    const double t = nsBei(x);
    const std::size_t n = spalten_.anzahl();
    if (!aufnahme_ || n == 0) return t;
    const std::size_t i = aufnahme_->ersteAb(std::uint64_t(std::max(0.0, t)), n);
    double beste = t, abstand = kCursorGriff + 0.5;
    for (const std::size_t j : {i, i == 0 ? i : i - 1}) {
        if (j >= n || j == 0) continue;  // the first change is the start, no edge
        const double kante = double((*aufnahme_)[j].zeitNs);
        if (std::abs(xVon(kante) - x) < abstand) {
            abstand = std::abs(xVon(kante) - x);
            beste = kante;
        }
    }
    return beste;
}

void Zeitdiagramm::geändert() {
    passeLeisteAn();
    viewport()->update();
    if (beiÄnderung) beiÄnderung();
}

void Zeitdiagramm::messeNamen() {
    const QFontMetrics maß(font());
    // At least the room of the last signal pin's label, "17 /SelectIn".
    const std::string letzter = port::label(port::pin(port::kSignalPinCount));
    int breite = maß.horizontalAdvance(QString::fromStdString(letzter));
    if (aufnahme_) {
        for (const auto& l : aufnahme_->leitungen()) {
            breite = std::max(breite, maß.horizontalAdvance(QString::fromStdString(l.name)));
        }
        for (const auto& b : aufnahme_->busse) {
            breite = std::max(breite, maß.horizontalAdvance(QString::fromStdString(b.name)));
        }
        for (const auto& z : zusatz_) breite = std::max(breite, maß.horizontalAdvance(z.name));
    }
    namenBreite_ = breite + 2 * maß.averageCharWidth();
}

int Zeitdiagramm::beschriftungsbreite() const {
    return std::min(namenBreite_, viewport()->width() / 3);
}

int Zeitdiagramm::achsenhöhe() const {
    return QFontMetrics(font()).height() + 12;
}

QRect Zeitdiagramm::plotfläche() const {
    const QRect r = viewport()->rect();
    return QRect(r.left() + beschriftungsbreite(), r.top() + achsenhöhe(),
                 std::max(1, r.width() - beschriftungsbreite() - 8),
                 std::max(1, r.height() - achsenhöhe()));
}

int Zeitdiagramm::zeilenhöhe() const {
    const int zeilen = std::max(1, zeilenzahl());
    const int schrift = QFontMetrics(font()).height();
    return std::clamp(plotfläche().height() / zeilen, schrift + 8, 3 * schrift + 8);
}

QRect Zeitdiagramm::zeilenband(int zeile) const {
    const QRect f = plotfläche();
    const int höhe = zeilenhöhe();
    return QRect(f.left(), f.top() + zeile * höhe - zeilenVersatz_, f.width(), höhe);
}

int Zeitdiagramm::zeileBei(int y) const {
    const int versetzt = y - plotfläche().top() + zeilenVersatz_;
    if (y < plotfläche().top() || versetzt < 0) return -1;
    const int zeile = versetzt / zeilenhöhe();
    return zeile < zeilenzahl() ? zeile : -1;
}

double Zeitdiagramm::xVon(double ns) const {
    const QRect f = plotfläche();
    return f.left() + (ns - sichtAnfang_) / sichtSpanne_ * f.width();
}

double Zeitdiagramm::nsBei(double x) const {
    const QRect f = plotfläche();
    return sichtAnfang_ + (x - f.left()) * sichtSpanne_ / f.width();
}

QSize Zeitdiagramm::sizeHint() const {
    return QSize(760, 440);
}
QSize Zeitdiagramm::minimumSizeHint() const {
    return QSize(320, 160);
}

void Zeitdiagramm::passeLeisteAn() {
    QScrollBar* leiste = horizontalScrollBar();
    const double anf = anfangNs(), gesamt = endeNs() - anf;
    // Steps of at least a pixel's time, and few enough for an int.
    leisteEinheit_ =
        std::max({sichtSpanne_ / std::max(1, plotfläche().width()), gesamt / 1e9, 1e-3});
    leisteSetzen_ = true;
    leiste->setRange(0, int(std::max(0.0, (gesamt - sichtSpanne_) / leisteEinheit_)));
    leiste->setPageStep(std::max(1, int(sichtSpanne_ / leisteEinheit_)));
    leiste->setSingleStep(std::max(1, leiste->pageStep() / 10));
    leiste->setValue(int((sichtAnfang_ - anf) / leisteEinheit_));
    // Rows that do not fit scroll.
    QScrollBar* senkrecht = verticalScrollBar();
    const int sichtbar = plotfläche().height();
    senkrecht->setRange(0, std::max(0, zeilenzahl() * zeilenhöhe() - sichtbar));
    senkrecht->setPageStep(sichtbar);
    senkrecht->setSingleStep(zeilenhöhe());
    zeilenVersatz_ = senkrecht->value();
    leisteSetzen_ = false;
}

void Zeitdiagramm::scrollContentsBy(int dx, int dy) {
    zeilenVersatz_ = verticalScrollBar()->value();
    if (dy != 0) viewport()->update();
    if (leisteSetzen_ || dx == 0) return;
    folgt = false;
    setzeSicht(anfangNs() + horizontalScrollBar()->value() * leisteEinheit_, sichtSpanne_);
}

void Zeitdiagramm::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) messeNamen();
}

void Zeitdiagramm::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    passeLeisteAn();
}

// --- drawing ---------------------------------------------------------------

void Zeitdiagramm::paintEvent(QPaintEvent*) {
    QPainter maler(viewport());
    maler.fillRect(viewport()->rect(), hintergrund());
    const QRect fläche = plotfläche();
    zeichneAchse(maler, fläche);
    if (zeilenzahl() == 0) {
        maler.setPen(schriftfarbe());
        maler.drawText(fläche, Qt::AlignCenter | Qt::TextWordWrap,
                       aufnahme_ ? QStringLiteral("Keine Leitungen gewählt")
                                 : QStringLiteral("Keine Aufnahme: „Start“ drücken oder eine "
                                                  "VCD-Datei öffnen"));
        return;
    }
    zeichneZeilen(maler, fläche);
    zeichneCursor(maler, fläche);
}

void Zeitdiagramm::zeichneAchse(QPainter& maler, const QRect& fläche) const {
    const QFontMetrics maß(font());
    const double null = aufnahme_ ? double(aufnahme_->nullpunktNs) : 0;
    // Marks at least a label's width apart.
    const double proPixel = sichtSpanne_ / fläche.width();
    const int labelBreite = maß.horizontalAdvance(QStringLiteral("-888,8 ms")) + 16;
    const double schritt = analysator::achsenschritt(labelBreite * proPixel);
    const double erste = std::ceil((sichtAnfang_ - null) / schritt) * schritt + null;
    maler.setFont(font());
    for (double t = erste; t <= sichtAnfang_ + sichtSpanne_; t += schritt) {
        const int x = int(std::lround(xVon(t)));
        maler.setPen(QPen(gitterfarbe(), 0, Qt::DotLine));
        maler.drawLine(x, fläche.top(), x, fläche.bottom());
        maler.setPen(QPen(schriftfarbe(), 0));
        maler.drawLine(x, fläche.top() - 4, x, fläche.top());
        const QString text = analysator::achsenText(t - null, schritt);
        const int breite = maß.horizontalAdvance(text);
        maler.drawText(std::clamp(x - breite / 2, fläche.left() - breite / 2,
                                  viewport()->width() - breite - 2),
                       fläche.top() - 6 - maß.descent(), text);
    }
    maler.setPen(QPen(gitterfarbe(), 0));
    maler.drawLine(fläche.left(), fläche.top(), fläche.right(), fläche.top());
    // The trigger: where time 0 is.
    if (aufnahme_ && null >= sichtAnfang_ && null <= sichtAnfang_ + sichtSpanne_) {
        const double x = xVon(null);
        maler.setPen(QPen(auslöserfarbe(), 0, Qt::DashLine));
        maler.drawLine(QPointF(x, fläche.top()), QPointF(x, fläche.bottom()));
        maler.setRenderHint(QPainter::Antialiasing);
        maler.setPen(Qt::NoPen);
        maler.setBrush(auslöserfarbe());
        maler.drawPolygon(QPolygonF{QPointF(x - 5, fläche.top() - 7),
                                    QPointF(x + 5, fläche.top() - 7), QPointF(x, fläche.top())});
        maler.setRenderHint(QPainter::Antialiasing, false);
        maler.setBrush(Qt::NoBrush);
    }
}

void Zeitdiagramm::zeichneZeilen(QPainter& maler, const QRect& fläche) {
    const auto& leitungen = aufnahme_->leitungen();
    const QFontMetrics maß(font());
    const std::vector<Spalte> spalten =
        spalten_.berechne(*aufnahme_, sichtAnfang_, sichtSpanne_, fläche.width());
    zeichneLücken(maler, fläche, spalten, false);

    // Rows scrolled away stay under the axis.
    maler.save();
    maler.setClipRect(QRect(0, fläche.top() + 1, viewport()->width(), fläche.height()));
    for (int z = 0; z < zeilenzahl(); ++z) {
        const QRect band = zeilenband(z);
        if (band.bottom() < fläche.top() || band.top() > fläche.bottom()) continue;
        const Zeile& zeile = zeilen_[std::size_t(z)];
        maler.setPen(QPen(gitterfarbe(), 0));
        maler.drawLine(0, band.bottom(), fläche.right(), band.bottom());
        const QString name =
            zeile.zusatz >= 0
                ? zusatz_[std::size_t(zeile.zusatz)].name
                : QString::fromStdString(zeile.bus >= 0
                                             ? aufnahme_->busse[std::size_t(zeile.bus)].name
                                             : leitungen[std::size_t(zeile.leitung)].name);
        maler.setPen(zeile.zusatz >= 0 ? zusatz_[std::size_t(zeile.zusatz)].farbe : schriftfarbe());
        maler.drawText(
            QRect(maß.averageCharWidth(), band.top(), fläche.left(), band.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            maß.elidedText(name, Qt::ElideMiddle, fläche.left() - maß.averageCharWidth()));
        if (zeile.zusatz >= 0) {
            zeichneAnnotationen(maler, band, zusatz_[std::size_t(zeile.zusatz)]);
            continue;
        }
        if (spalten_.anzahl() == 0) continue;
        if (zeile.bus >= 0) {
            zeichneBus(maler, band, aufnahme_->busse[std::size_t(zeile.bus)], spalten);
        } else {
            zeichneLeitung(maler, band, leitungen[std::size_t(zeile.leitung)].bit, spalten);
        }
    }
    maler.restore();
    zeichneLücken(maler, fläche, spalten, true);
}

void Zeitdiagramm::zeichneLücken(QPainter& maler, const QRect& fläche,
                                 const std::vector<Spalte>& spalten, bool beschriften) const {
    const QFontMetrics maß(font());
    const QString text = QStringLiteral("nicht gesehen");
    QColor grund = lückenfarbe();
    grund.setAlpha(40);
    läufe(
        int(spalten.size()), [&](int c) { return spalten[std::size_t(c)].lücke; },
        [&](bool lücke, int von, int bis) {
            if (!lücke) return;
            const QRect r(fläche.left() + von, fläche.top() + 1, bis - von, fläche.height() - 1);
            const int textbreite = maß.horizontalAdvance(text) + 8;
            if (beschriften) {
                // Over the rows, where it is wide enough.
                if (textbreite > r.width()) return;
                const QRect schild(r.center().x() - textbreite / 2, r.top() + 2, textbreite,
                                   maß.height());
                maler.fillRect(schild, hintergrund());
                maler.setPen(lückenfarbe());
                maler.drawText(schild, Qt::AlignCenter, text);
            } else if (r.width() < 4) {
                maler.fillRect(r, lückenfarbe());  // too narrow for the hatching to show
            } else {
                maler.fillRect(r, grund);
                maler.fillRect(r, QBrush(lückenfarbe(), Qt::BDiagPattern));
            }
        });
}

void Zeitdiagramm::zeichneLeitung(QPainter& maler, const QRect& band, int bit,
                                  const std::vector<Spalte>& spalten) const {
    const Höhen y(band);
    const int links = band.left();
    // A gap's columns are the gap's band.
    const auto art = [&](int c) {
        const Spalte& s = spalten[std::size_t(c)];
        return s.lücke ? Stand::Ungesehen : s.stand(bit);
    };
    std::vector<QLine> linien, unbekannt;
    std::vector<QRect> bänder, unbekannteBänder;
    läufe(int(spalten.size()), art, [&](Stand stand, int von, int bis) {
        const int x0 = links + von, x1 = links + bis - 1;
        switch (stand) {
            case Stand::Tief:
            case Stand::Hoch: {
                const int höhe = stand == Stand::Hoch ? y.hoch : y.tief;
                linien.emplace_back(x0, höhe, x1, höhe);
                break;
            }
            case Stand::Beide:
                if (bis - von == 1) {
                    linien.emplace_back(x0, y.hoch, x0, y.tief);
                } else {
                    bänder.emplace_back(x0, y.hoch, bis - von, y.tief - y.hoch + 1);
                }
                break;
            case Stand::Unbekannt:
                unbekannteBänder.emplace_back(x0, y.hoch, bis - von, y.tief - y.hoch + 1);
                break;
            case Stand::Ungesehen:
                break;
        }
    });
    QColor füllung = signalfarbe();
    füllung.setAlpha(110);
    for (const QRect& r : bänder) {
        maler.fillRect(r, füllung);
        linien.emplace_back(r.left(), r.top(), r.right(), r.top());
        linien.emplace_back(r.left(), r.bottom(), r.right(), r.bottom());
    }
    for (const QRect& r : unbekannteBänder) {
        maler.fillRect(r, QBrush(unbekanntfarbe(), Qt::DiagCrossPattern));
        unbekannt.emplace_back(r.left(), r.top(), r.right(), r.top());
        unbekannt.emplace_back(r.left(), r.bottom(), r.right(), r.bottom());
    }
    maler.setPen(QPen(signalfarbe(), kStrich, Qt::SolidLine, Qt::SquareCap));
    maler.drawLines(linien.data(), int(linien.size()));
    maler.setPen(QPen(unbekanntfarbe(), kStrich, Qt::SolidLine, Qt::SquareCap));
    maler.drawLines(unbekannt.data(), int(unbekannt.size()));
}

void Zeitdiagramm::zeichneBus(QPainter& maler, const QRect& band, const Bus& bus,
                              const std::vector<Spalte>& spalten) const {
    const Höhen y(band);
    const int links = band.left(), mitte = (y.hoch + y.tief) / 2;
    Pegel maske = 0;
    for (const int bit : bus.bits) maske |= analysator::bitVon(bit);
    // Per column: nothing, changing, or a value (any bit unknown: "x").
    struct Art {
        Stand stand = Stand::Ungesehen;
        Pegel pegel = 0;
        bool operator==(const Art&) const = default;
    };
    const auto art = [&](int c) {
        const Spalte& s = spalten[std::size_t(c)];
        if (!s.gesehen || s.lücke) return Art{};
        if (s.unbekannt & maske) return Art{Stand::Unbekannt, 0};
        if ((s.oder ^ s.und) & maske) return Art{Stand::Beide, 0};
        return Art{Stand::Hoch, s.und & maske};
    };
    const QFontMetrics maß(font());
    QColor füllung = signalfarbe();
    füllung.setAlpha(110);
    läufe(int(spalten.size()), art, [&](Art a, int von, int bis) {
        const int x0 = links + von, x1 = links + bis - 1, breite = bis - von;
        if (a.stand == Stand::Ungesehen) return;
        if (a.stand == Stand::Beide) {
            maler.fillRect(QRect(x0, y.hoch, breite, y.tief - y.hoch + 1), füllung);
            maler.setPen(QPen(signalfarbe(), kStrich));
            maler.drawLine(x0, y.hoch, x1, y.hoch);
            maler.drawLine(x0, y.tief, x1, y.tief);
            return;
        }
        // A box with slanted ends: two boxes side by side cross at a change.
        const QColor farbe = a.stand == Stand::Unbekannt ? unbekanntfarbe() : signalfarbe();
        const int k = std::min(3, breite / 2);
        const QPoint punkte[] = {{x0, mitte}, {x0 + k, y.hoch}, {x1 - k, y.hoch},
                                 {x1, mitte}, {x1 - k, y.tief}, {x0 + k, y.tief}};
        maler.setPen(QPen(farbe, kStrich));
        maler.drawPolygon(punkte, 6);
        const QString text = QString::fromStdString(
            analysator::busText(bus, a.pegel, a.stand == Stand::Unbekannt ? maske : 0));
        if (maß.horizontalAdvance(text) + 2 * k + 4 <= breite) {
            maler.setPen(schriftfarbe());
            maler.drawText(QRect(x0, y.hoch, breite, y.tief - y.hoch + 1), Qt::AlignCenter, text);
        }
    });
}

void Zeitdiagramm::zeichneAnnotationen(QPainter& maler, const QRect& band,
                                       const Zusatzzeile& zusatz) const {
    if (!zusatz.liste) return;
    const dekoder::Annotationsliste& liste = *zusatz.liste;
    const Höhen y(band);
    const QFontMetrics maß(font());
    QColor füllung = zusatz.farbe;
    füllung.setAlpha(70);
    QColor lückenfüllung = lückenfarbe();
    lückenfüllung.setAlpha(50);
    for (const dekoder::Kasten& k :
         liste.berechne(zusatz.reihe, sichtAnfang_, sichtSpanne_, band.width())) {
        const QRect r(band.left() + k.von, y.hoch, k.bis - k.von, y.tief - y.hoch + 1);
        if (k.anzahl > 1) {
            maler.fillRect(r, füllung);
            maler.fillRect(r.left(), r.top(), r.width(), 1, zusatz.farbe);
            maler.fillRect(r.left(), r.bottom(), r.width(), 1, zusatz.farbe);
            continue;
        }
        // Over a gap: the gap's colour, dashed, so its text is not trusted.
        maler.setPen(k.überLücke ? QPen(lückenfarbe(), kStrich, Qt::DashLine)
                                 : QPen(zusatz.farbe, kStrich));
        maler.setBrush(k.überLücke ? lückenfüllung : füllung);
        maler.drawRect(r.adjusted(0, 0, -1, -1));
        maler.setBrush(Qt::NoBrush);
        // The longest text that fits, else a shorter one.
        const int platz = r.width() - 6;
        for (int t = 0; platz > 0 && t < liste[k.annotation].texte; ++t) {
            const std::string_view roh = liste.text(k.annotation, t);
            const QString text = QString::fromUtf8(roh.data(), qsizetype(roh.size()));
            if (maß.horizontalAdvance(text) > platz) continue;
            maler.setPen(k.überLücke ? lückenfarbe() : schriftfarbe());
            // Centred in what is on screen of it.
            const QRect sichtbar = r.intersected(band);
            maler.drawText(sichtbar.width() > maß.horizontalAdvance(text) + 6 ? sichtbar : r,
                           Qt::AlignCenter, text);
            break;
        }
    }
}

QString Zeitdiagramm::annotationBei(int zusatz, int spalte) const {
    const Zusatzzeile& z = zusatz_[std::size_t(zusatz)];
    if (!z.liste) return {};
    for (const dekoder::Kasten& k :
         z.liste->berechne(z.reihe, sichtAnfang_, sichtSpanne_, plotfläche().width())) {
        if (spalte < k.von || spalte >= k.bis) continue;
        if (k.anzahl > 1) {
            return QStringLiteral("%1 Annotationen, vergrößern zum Lesen")
                .arg(QLocale().toString(qulonglong(k.anzahl)));
        }
        const auto& e = (*z.liste)[k.annotation];
        const std::string_view text = z.liste->text(k.annotation);
        QString hinweis =
            QStringLiteral("%1 · %2").arg(QString::fromUtf8(text.data(), qsizetype(text.size())),
                                          analysator::dauerText(double(e.endeNs - e.anfangNs)));
        if (e.überLücke) hinweis += QStringLiteral(" · über nicht Gesehenem: unsicher");
        return hinweis;
    }
    return {};
}

void Zeitdiagramm::zeichneCursor(QPainter& maler, const QRect& fläche) const {
    const QFontMetrics maß(font());
    for (const bool b : {false, true}) {
        const auto& cursor = b ? cursorB : cursorA;
        if (!cursor) continue;
        const double x = xVon(*cursor);
        if (x < fläche.left() || x > fläche.right() + 1) continue;
        const QColor farbe = b ? farbeB() : farbeA();
        maler.setPen(QPen(farbe, 0));
        const int xi = int(std::lround(x));
        maler.drawLine(xi, fläche.top(), xi, fläche.bottom());
        const QString name = b ? QStringLiteral("B") : QStringLiteral("A");
        const QRect fahne(xi + 1, fläche.top() + 1, maß.horizontalAdvance(name) + 6, maß.height());
        maler.fillRect(fahne, farbe);
        maler.setPen(hintergrund());
        maler.drawText(fahne, Qt::AlignCenter, name);
    }
}

// --- input -----------------------------------------------------------------

void Zeitdiagramm::wheelEvent(QWheelEvent* event) {
    const QPoint winkel = event->angleDelta();
    const bool schieben = winkel.x() != 0 || (event->modifiers() & Qt::ShiftModifier);
    const double schritte = (winkel.x() != 0 ? winkel.x() : winkel.y()) / 120.0;
    if (!schieben && event->position().x() < plotfläche().left()) {
        // Over the labels the wheel scrolls the rows.
        QScrollBar* senkrecht = verticalScrollBar();
        senkrecht->setValue(senkrecht->value() - int(schritte * senkrecht->singleStep()));
    } else if (schieben) {
        folgt = false;
        setzeSicht(sichtAnfang_ - schritte * sichtSpanne_ / 10, sichtSpanne_);
    } else {
        zoome(std::pow(1.25, schritte), nsBei(event->position().x()));
    }
    event->accept();
}

void Zeitdiagramm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoome(2);
            break;
        case Qt::Key_Minus:
            zoome(0.5);
            break;
        case Qt::Key_Left:
            folgt = false;
            setzeSicht(sichtAnfang_ - sichtSpanne_ / 10, sichtSpanne_);
            break;
        case Qt::Key_Right:
            setzeSicht(sichtAnfang_ + sichtSpanne_ / 10, sichtSpanne_);
            break;
        case Qt::Key_Home:
            allesZeigen();
            break;
        case Qt::Key_End:
            setzeSicht(endeNs() - sichtSpanne_, sichtSpanne_);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void Zeitdiagramm::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    druckPunkt_ = p;
    druckAnfang_ = sichtAnfang_;
    bewegt_ = false;
    const auto nahe = [&](const std::optional<double>& c) {
        return c && std::abs(xVon(*c) - p.x()) <= kCursorGriff;
    };
    const bool rechts =
        event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (event->button() == Qt::MiddleButton) {
        ziehen_ = Ziehen::Schieben;
    } else if (rechts) {
        ziehen_ = Ziehen::CursorB;
        if (p.x() >= plotfläche().left()) setzeCursor(true, fangeKante(p.x()));
    } else if (event->button() == Qt::LeftButton) {
        ziehen_ = nahe(cursorA)   ? Ziehen::CursorA
                  : nahe(cursorB) ? Ziehen::CursorB
                                  : Ziehen::Schieben;
    }
    event->accept();
}

void Zeitdiagramm::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (ziehen_ == Ziehen::Nichts) {
        const bool überCursor = (cursorA && std::abs(xVon(*cursorA) - p.x()) <= kCursorGriff) ||
                                (cursorB && std::abs(xVon(*cursorB) - p.x()) <= kCursorGriff);
        const bool überName = p.x() < plotfläche().left() && busVon(zeileBei(p.y())) >= 0;
        viewport()->setCursor(überCursor ? Qt::SizeHorCursor
                              : überName ? Qt::PointingHandCursor
                                         : Qt::CrossCursor);
        const QString hinweis = hinweisBei(p);
        if (hinweis.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPosition().toPoint(), hinweis, viewport());
        }
        return;
    }
    if ((p - druckPunkt_).manhattanLength() > 3) bewegt_ = true;
    const double x =
        std::clamp(double(p.x()), double(plotfläche().left()), double(plotfläche().right()));
    if (ziehen_ == Ziehen::CursorA) {
        setzeCursor(false, fangeKante(x));
    } else if (ziehen_ == Ziehen::CursorB) {
        setzeCursor(true, fangeKante(x));
    } else if (bewegt_) {
        folgt = false;
        viewport()->setCursor(Qt::ClosedHandCursor);
        setzeSicht(druckAnfang_ - (p.x() - druckPunkt_.x()) * sichtSpanne_ / plotfläche().width(),
                   sichtSpanne_);
    }
}

void Zeitdiagramm::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (ziehen_ == Ziehen::Schieben && !bewegt_ && event->button() == Qt::LeftButton &&
        p.x() >= plotfläche().left()) {
        setzeCursor(false, fangeKante(p.x()));
    } else if (ziehen_ == Ziehen::Schieben && !bewegt_ && event->button() == Qt::LeftButton) {
        // A click on a bus's name splits it, on one of its bits joins it.
        const int zeile = zeileBei(p.y());
        const int bus = busVon(zeile);
        if (bus >= 0) teileBus(bus, zeilen_[std::size_t(zeile)].bus >= 0);
    } else if (ziehen_ == Ziehen::CursorA && !bewegt_) {
        setzeCursor(false, fangeKante(p.x()));
    }
    ziehen_ = Ziehen::Nichts;
    viewport()->setCursor(Qt::CrossCursor);
    event->accept();
}

void Zeitdiagramm::contextMenuEvent(QContextMenuEvent* event) {
    const int zeile = zeileBei(event->pos().y());
    const int bus = busVon(zeile);
    if (event->pos().x() >= plotfläche().left() || bus < 0) return;
    const bool zusammen = zeilen_[std::size_t(zeile)].bus >= 0;
    ziehen_ = Ziehen::Nichts;  // the menu takes the button's release
    QMenu menü(this);
    menü.addAction(
        zusammen ? QStringLiteral("In Bits aufteilen") : QStringLiteral("Zusammenfassen"),
        [this, bus, zusammen] { teileBus(bus, zusammen); });
    menü.exec(event->globalPos());
    event->accept();
}

void Zeitdiagramm::leaveEvent(QEvent* event) {
    QToolTip::hideText();
    QAbstractScrollArea::leaveEvent(event);
}

QString Zeitdiagramm::hinweisBei(QPoint p) const {
    const int zeile = zeileBei(p.y());
    if (!aufnahme_ || zeile < 0) return {};
    const QRect f = plotfläche();
    const Zeile& z = zeilen_[std::size_t(zeile)];
    if (p.x() < f.left()) {
        const int bus = busVon(zeile);
        if (bus < 0) return {};
        return z.bus >= 0
                   ? QStringLiteral("Klick: in Bits aufteilen")
                   : QStringLiteral("Klick: %1 zusammenfassen")
                         .arg(QString::fromStdString(aufnahme_->busse[std::size_t(bus)].name));
    }
    if (z.zusatz >= 0) return annotationBei(z.zusatz, p.x() - f.left());
    // The column under the mouse, as drawn: a gap in it wins.
    const auto von = std::uint64_t(std::max(0.0, std::ceil(nsBei(p.x()))));
    const auto bis = std::max(von + 1, std::uint64_t(std::max(0.0, std::ceil(nsBei(p.x() + 1)))));
    for (const analysator::Lücke& l : spalten_.lücken()) {
        if (l.anfangNs < bis && l.endeNs > von) {
            return QStringLiteral("nicht gesehen, %1")
                .arg(analysator::dauerText(double(l.endeNs - l.anfangNs)));
        }
    }
    if (z.bus >= 0) {
        const Bus& bus = aufnahme_->busse[std::size_t(z.bus)];
        if (von > spalten_.bisNs() || spalten_.anzahl() == 0) return {};
        return QStringLiteral("%1: %2").arg(
            QString::fromStdString(bus.name),
            QString::fromStdString(analysator::busText(
                bus, aufnahme_->pegelBei(von, spalten_.anzahl()), aufnahme_->unbekanntBei(von))));
    }
    const analysator::Leitung& leitung = aufnahme_->leitungen()[std::size_t(z.leitung)];
    return analysator::pulsText(leitung,
                                analysator::pulsBei(*aufnahme_, spalten_, leitung.bit, von));
}

}  // namespace dravel
