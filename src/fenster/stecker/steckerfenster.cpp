#include "steckerfenster.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "fenster/gemeinsam/schrift.h"
#include "fenster/gemeinsam/symbol.h"
#include "fenster/module1.h"
#include "pin_anzeige.h"
#include "port/port.h"
#include "stecker_zeichnung.h"

namespace dravel {
namespace {

using port::PinDirection;

constexpr int kAbfrageMs = 50;
constexpr qreal kStandardPitch = 62;  // pixels per pitch at the window's first size
constexpr qreal kKleinsterPitch = 40;

}  // namespace

// The drawing surface: the socket's shell and the legend, with the 25 pin
// widgets placed on it. Everything scales with one pitch, the largest that
// lets the whole picture fit.
class Steckerbild final : public QWidget {
public:
    explicit Steckerbild(QWidget* parent) : QWidget(parent) {}

    std::array<PinAnzeige*, 26> pins{};

    // Whether the legend explains the direction bit ppdev does not read back.
    void setzeHinweis(bool hinweis) {
        if (hinweis == hinweis_) return;
        hinweis_ = hinweis;
        ordne();
        update();
    }

    QSize sizeHint() const override { return größe(kStandardPitch); }
    QSize minimumSizeHint() const override { return größe(kKleinsterPitch); }

    void ordne() {
        p_ = std::min(width() / stecker::kBreite, height() / stecker::höhe(zeilen()));
        ursprung_ = QPointF((width() - stecker::kBreite * p_) / 2,
                            (height() - stecker::höhe(zeilen()) * p_) / 2);
        PinSchriften schriften;
        QFont fett = schrift::standard();
        fett.setBold(true);
        schriften.name =
            stecker::passendeSchrift(fett, stecker::signalnamen(), 0.92 * p_, qRound(0.23 * p_));
        schriften.register_ = schrift::standard();
        schriften.register_.setPixelSize(std::max(6, qRound(0.165 * p_)));
        schriften.nummer = fett;
        schriften.nummer.setPixelSize(std::max(6, qRound(0.19 * p_)));
        for (int n = 1; n <= port::kPinCount; ++n) {
            const QRectF z = stecker::zelle(n);
            pins[n]->setzeMaße(QRectF(punkt(z.topLeft()), z.size() * p_), p_, schriften);
        }
        legende_ = schrift::standard();
        legende_.setPixelSize(std::max(6, qRound(0.19 * p_)));
        // The widest legend line must fit the picture's width.
        const auto breiteste = [this] {
            qreal breite = 0;
            for (int z = 0; z < zeilen(); ++z) breite = std::max(breite, legendenbreite(z));
            return breite;
        };
        while (legende_.pixelSize() > 6 && breiteste() > stecker::kBreite * p_) {
            legende_.setPixelSize(legende_.pixelSize() - 1);
        }
    }

protected:
    void resizeEvent(QResizeEvent*) override { ordne(); }

    void paintEvent(QPaintEvent*) override {
        QPainter maler(this);
        maler.setRenderHint(QPainter::Antialiasing);
        zeichneGehäuse(maler);
        zeichneLegende(maler);
    }

private:
    int zeilen() const { return hinweis_ ? 3 : 2; }

    QSize größe(qreal p) const {
        return QSize(qCeil(stecker::kBreite * p), qCeil(stecker::höhe(zeilen()) * p));
    }

    // A point given in pitches, in pixels of this widget.
    QPointF punkt(QPointF inPitches) const { return ursprung_ + inPitches * p_; }

    void zeichneGehäuse(QPainter& maler) const { stecker::zeichneGehäuse(maler, ursprung_, p_); }

    // One legend entry: a small symbol, then its text.
    struct Eintrag {
        std::function<void(QPainter&, QRectF)> symbol;
        QString text;
    };

    std::vector<Eintrag> einträge(int zeile) const {
        using namespace stecker;
        const qreal p = p_;
        const auto loch = [p](Led led) {
            return [p, led](QPainter& m, QRectF r) { zeichneLoch(m, r.center(), 0.8 * p, led); };
        };
        const auto richtung = [p](PinDirection d, bool ungewiss, bool invertiert) {
            return [=](QPainter& m, QRectF r) {
                const QPointF innen(r.left() + 0.12 * p, r.center().y());
                zeichneLoch(m, innen, 0.35 * p, Led::Masse);
                zeichneRichtung(m, innen + QPointF(0.12 * p, 0), QPointF(r.right(), r.center().y()),
                                p, d, ungewiss, invertiert);
            };
        };
        if (zeile == 0) {
            return {
                {loch(Led::Hoch), QStringLiteral("hoch")},
                {loch(Led::Tief), QStringLiteral("tief")},
                {richtung(PinDirection::Output, false, false),
                 QStringLiteral("Ausgang (Klick schaltet)")},
                {richtung(PinDirection::Input, false, false), QStringLiteral("Eingang")},
                {richtung(PinDirection::Output, false, true),
                 QStringLiteral("von der Hardware invertiert")},
                {[p](QPainter& m, QRectF r) {
                     zeichneMasse(m, QPointF(r.center().x(), r.center().y() - 0.12 * p), p, true);
                 },
                 QStringLiteral("Masse")},
            };
        }
        if (zeile == 1) {
            return {{nullptr, QStringLiteral("C0=1: Registerbit und sein Wert (D Daten, S Status, "
                                             "C Control) · Buchse am PC, von vorn gesehen")}};
        }
        return {{richtung(PinDirection::Output, true, false),
                 QStringLiteral("ppdev liest die Datenrichtung (Control-Bit 5) nicht zurück: "
                                "gezeigt ist der zuletzt geschriebene Wert")}};
    }

    qreal symbolbreite() const { return 0.55 * p_; }
    qreal abstand() const { return 0.3 * p_; }

    qreal legendenbreite(int zeile) const {
        const QFontMetricsF maß(legende_);
        qreal breite = 0;
        for (const Eintrag& e : einträge(zeile)) {
            if (breite > 0) breite += abstand();
            if (e.symbol) breite += symbolbreite() + 0.1 * p_;
            breite += maß.horizontalAdvance(e.text);
        }
        return breite;
    }

    void zeichneLegende(QPainter& maler) const {
        const QFontMetricsF maß(legende_);
        maler.setFont(legende_);
        for (int zeile = 0; zeile < zeilen(); ++zeile) {
            const qreal oben = stecker::kLegendeOben + zeile * stecker::kLegendenzeile;
            const QPointF anfang = punkt({0, oben});
            const qreal höhe = stecker::kLegendenzeile * p_;
            qreal x = anfang.x() + (stecker::kBreite * p_ - legendenbreite(zeile)) / 2;
            for (const Eintrag& e : einträge(zeile)) {
                if (e.symbol) {
                    e.symbol(maler, QRectF(x, anfang.y(), symbolbreite(), höhe));
                    x += symbolbreite() + 0.1 * p_;
                }
                maler.setPen(palette().color(QPalette::WindowText));
                const qreal breite = maß.horizontalAdvance(e.text);
                maler.drawText(QRectF(x, anfang.y(), breite + 1, höhe),
                               Qt::AlignLeft | Qt::AlignVCenter, e.text);
                x += breite + abstand();
            }
        }
    }

    qreal p_ = kStandardPitch;
    QPointF ursprung_;
    QFont legende_;
    bool hinweis_ = false;
};

Steckerfenster::Steckerfenster(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Steckerfenster"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(fenstersymbol());

    Bild = new Steckerbild(this);
    Bild->setObjectName(QStringLiteral("Bild"));
    Bild->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* ordnung = new QVBoxLayout(this);
    ordnung->setContentsMargins(8, 8, 8, 8);
    ordnung->addWidget(Bild);
    for (int n = 1; n <= port::kPinCount; ++n) {
        Pin[n] = new PinAnzeige(port::pin(n), Bild);
        Pin[n]->beiKlick = [this, n] { Pin_Click(static_cast<std::int16_t>(n)); };
    }
    Bild->pins = Pin;

    Abfrage = new QTimer(this);
    Abfrage->setObjectName(QStringLiteral("Abfrage"));
    Abfrage->setInterval(kAbfrageMs);
    connect(Abfrage, &QTimer::timeout, this, [this] { Abfrage_Timer(); });

    setzeBasis(Module1::Basisadresse().value_or(Basis));
    resize(sizeHint());
    Bild->ordne();
    if (const auto haupt = Module1::HauptfensterLage()) {
        // Below the main window, where both can be seen at once, as far as
        // the screen allows.
        const QRect h = haupt->rahmen;
        QPoint ort(h.center().x() - width() / 2, h.bottom() + 8);
        if (haupt->bildschirm) {
            const QRect frei = *haupt->bildschirm;
            ort.setX(
                std::clamp(ort.x(), frei.left(), std::max(frei.left(), frei.right() - width())));
            ort.setY(
                std::clamp(ort.y(), frei.top(), std::max(frei.top(), frei.bottom() - height())));
        }
        move(ort);
    }
}

Steckerfenster::~Steckerfenster() = default;

void Steckerfenster::setzeBasis(std::int16_t basis) {
    if (basis == Basis && !windowTitle().isEmpty()) return;
    Basis = basis;
    setWindowTitle(QStringLiteral("Steckerbelegung LPT – %1").arg(Basis));
}

void Steckerfenster::Abfrage_Timer() {
    // Never a port access while nobody can see the picture.
    if (!isVisible() || isMinimized()) {
        Abfrage->stop();
        return;
    }
    if (const auto basis = Module1::Basisadresse()) setzeBasis(*basis);
    werte_ = port::readRegisters(Basis);
    bekannt_ = true;
    const port::Backend* backend = port::boundBackend();
    const bool ungewiss = backend && (backend->controlBitsNotReadBack() & port::kDataInputBit);
    Bild->setzeHinweis(ungewiss);
    for (int n = 1; n <= port::kPinCount; ++n) {
        const port::PinInfo& info = port::pin(n);
        PinZustand zustand;
        zustand.bekannt = true;
        zustand.hoch = port::level(info, werte_);
        zustand.bit = info.reg != port::PinRegister::Ground && zustand.hoch != info.inverted;
        zustand.richtung = port::direction(info, werte_.control);
        zustand.richtungUngewiss = ungewiss && info.reg == port::PinRegister::Data;
        Pin[n]->zeige(zustand);
    }
}

void Steckerfenster::Pin_Click(std::int16_t Index) {
    if (!bekannt_ || Index < 1 || Index > port::kPinCount) return;
    // The direction as the user sees it decides; the next reading shows
    // the new level.
    port::switchPin(Basis, port::pin(Index), werte_.control);
}

void Steckerfenster::starteAbfrage() {
    if (!isVisible() || isMinimized()) return;
    if (!Abfrage->isActive()) Abfrage->start();
    Abfrage_Timer();
}

void Steckerfenster::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    starteAbfrage();
}

void Steckerfenster::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Abfrage->stop();
}

void Steckerfenster::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (isMinimized())
        Abfrage->stop();
    else
        starteAbfrage();
}

}  // namespace dravel
