#include "zeitdiagramm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "logik/einheiten.h"
#include "port/pin_map.h"

namespace dravel {
namespace {

using analysator::Aufnahme;
using analysator::Pegel;

constexpr double kKleinsteSpanneNs = 50;
constexpr int kCursorGriff = 5;  // pixels either side of a cursor that grab it

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
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(10);
    setAccessibleName(QStringLiteral("Zeitdiagramm"));
    passeLeisteAn();
}

Zeitdiagramm::~Zeitdiagramm() = default;

void Zeitdiagramm::zeige(std::shared_ptr<const Aufnahme> aufnahme) {
    aufnahme_ = std::move(aufnahme);
    übersicht_ = {};
    gezeigt_ = 0;
    cursorA.reset();
    cursorB.reset();
    folgt = false;
    if (aufnahme_) gezeigt_ = übersicht_.folge(*aufnahme_);
    allesZeigen();
}

double Zeitdiagramm::anfangNs() const {
    if (!aufnahme_) return 0;
    if (gezeigt_ > 0) return double((*aufnahme_)[0].zeitNs);
    return double(aufnahme_->nullpunktNs);
}

double Zeitdiagramm::endeNs() const {
    if (!aufnahme_) return 1e6;
    double ende = double(aufnahme_->bisNs());
    if (gezeigt_ > 0) ende = std::max(ende, double((*aufnahme_)[gezeigt_ - 1].zeitNs));
    return std::max(ende, anfangNs() + 1000);
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
    const std::size_t vorher = gezeigt_;
    const double endeVorher = endeNs();
    gezeigt_ = übersicht_.folge(*aufnahme_);
    if (gezeigt_ == vorher && endeNs() == endeVorher) return;
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
    if (!aufnahme_ || gezeigt_ == 0) return t;
    const std::size_t i = aufnahme_->ersteAb(std::uint64_t(std::max(0.0, t)), gezeigt_);
    double beste = t, abstand = kCursorGriff + 0.5;
    for (const std::size_t j : {i, i == 0 ? i : i - 1}) {
        if (j >= gezeigt_ || j == 0) continue;  // the first change is the start, no edge
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

int Zeitdiagramm::zeilenzahl() const {
    return aufnahme_ ? int(aufnahme_->leitungen().size()) : 0;
}

int Zeitdiagramm::beschriftungsbreite() const {
    const QFontMetrics maß(font());
    // At least the room of the last signal pin's label, "17 /SelectIn".
    const std::string letzter = port::label(port::pin(port::kSignalPinCount));
    int breite = maß.horizontalAdvance(QString::fromStdString(letzter));
    if (aufnahme_) {
        for (const auto& l : aufnahme_->leitungen()) {
            breite = std::max(breite, maß.horizontalAdvance(QString::fromStdString(l.name)));
        }
    }
    return std::min(breite + 2 * maß.averageCharWidth(), viewport()->width() / 3);
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

QRect Zeitdiagramm::zeilenband(int zeile) const {
    const QRect f = plotfläche();
    const int zeilen = std::max(1, zeilenzahl());
    const int schrift = QFontMetrics(font()).height();
    const int höhe = std::clamp(f.height() / zeilen, schrift + 8, 3 * schrift + 8);
    return QRect(f.left(), f.top() + zeile * höhe, f.width(), höhe);
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
    leisteSetzen_ = false;
}

void Zeitdiagramm::scrollContentsBy(int, int) {
    if (leisteSetzen_) return;
    folgt = false;
    setzeSicht(anfangNs() + horizontalScrollBar()->value() * leisteEinheit_, sichtSpanne_);
}

void Zeitdiagramm::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    passeLeisteAn();
}

// --- drawing ---------------------------------------------------------------

void Zeitdiagramm::paintEvent(QPaintEvent*) {
    QPainter maler(viewport());
    maler.fillRect(viewport()->rect(), hintergrund());
    if (aufnahme_) gezeigt_ = übersicht_.folge(*aufnahme_);
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
    const int zeilen = int(leitungen.size());
    const QFontMetrics maß(font());

    // Labels and row separators.
    for (int z = 0; z < zeilen; ++z) {
        const QRect band = zeilenband(z);
        maler.setPen(QPen(gitterfarbe(), 0));
        maler.drawLine(0, band.bottom(), fläche.right(), band.bottom());
        maler.setPen(schriftfarbe());
        maler.drawText(QRect(maß.averageCharWidth(), band.top(), fläche.left(), band.height()),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(leitungen[std::size_t(z)].name));
    }
    const std::size_t n = gezeigt_;
    if (n == 0) return;

    // Per pixel column: the changes in it found by binary search, their
    // levels from the summary. Column c holds the times [grenze(c), grenze(c + 1)).
    const int breite = fläche.width();
    const double anf = anfangNs(), ende = endeNs();
    const auto grenze = [&](int c) {
        const double t = std::ceil(sichtAnfang_ + c * sichtSpanne_ / breite);
        return std::uint64_t(std::max(0.0, t));
    };
    struct Spalte {
        Pegel vorher, wechselnd, nachher;
        bool daten;
    };
    std::vector<Spalte> spalten(std::size_t(breite) + 0);
    std::size_t i = aufnahme_->ersteAb(grenze(0), n);
    for (int c = 0; c < breite; ++c) {
        const std::uint64_t oben = grenze(c + 1);
        const std::size_t j = aufnahme_->ersteAb(oben, n);
        Spalte& s = spalten[std::size_t(c)];
        s.daten = double(oben) > anf && double(grenze(c)) <= ende;
        s.vorher = (*aufnahme_)[i == 0 ? 0 : i - 1].pegel;
        s.nachher = (*aufnahme_)[j == 0 ? 0 : j - 1].pegel;
        s.wechselnd = j > i ? übersicht_.über(*aufnahme_, i == 0 ? 0 : i - 1, j).wechselnd() : 0;
        i = j;
    }

    const QColor farbe = signalfarbe();
    QColor füllung = farbe;
    füllung.setAlpha(110);
    std::vector<QLine> linien;
    std::vector<QRect> bänder;
    for (int z = 0; z < zeilen; ++z) {
        const QRect band = zeilenband(z);
        const int rand = std::max(3, band.height() / 5);
        const int yHoch = band.top() + rand, yTief = band.bottom() - rand;
        const Pegel bit = analysator::bitVon(leitungen[std::size_t(z)].bit);
        linien.clear();
        bänder.clear();
        // Runs of columns: constant at a level (0, 1) or changing (2); -1 none.
        int art = -1, von = 0;
        const auto schließe = [&](int bis) {
            const int x0 = fläche.left() + von, x1 = fläche.left() + bis;
            if (art == 0 || art == 1) {
                const int y = art ? yHoch : yTief;
                linien.emplace_back(std::max(fläche.left(), x0 - 1), y, x1, y);
            } else if (art == 2 && bis - von == 1) {
                linien.emplace_back(x0, yHoch, x0, yTief);
            } else if (art == 2) {
                bänder.emplace_back(x0, yHoch, bis - von, yTief - yHoch + 1);
            }
        };
        for (int c = 0; c < breite; ++c) {
            const Spalte& s = spalten[std::size_t(c)];
            int neu = -1;
            if (s.daten) neu = (s.wechselnd & bit) ? 2 : ((s.vorher & bit) ? 1 : 0);
            if (neu == art) continue;
            schließe(c);
            art = neu;
            von = c;
        }
        schließe(breite);
        for (const QRect& r : bänder) maler.fillRect(r, füllung);
        maler.setPen(QPen(farbe, 0));
        for (const QRect& r : bänder) {
            linien.emplace_back(r.left(), r.top(), r.right(), r.top());
            linien.emplace_back(r.left(), r.bottom(), r.right(), r.bottom());
        }
        maler.drawLines(linien.data(), int(linien.size()));
    }
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
    if (schieben) {
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
        viewport()->setCursor(überCursor ? Qt::SizeHorCursor : Qt::CrossCursor);
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
    } else if (ziehen_ == Ziehen::CursorA && !bewegt_) {
        setzeCursor(false, fangeKante(p.x()));
    }
    ziehen_ = Ziehen::Nichts;
    viewport()->setCursor(Qt::CrossCursor);
    event->accept();
}

}  // namespace dravel
