#include "stecker_zeichnung.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <vector>

namespace dravel::stecker {
namespace {

using port::PinDirection;
using port::PinRegister;

QString registerName(PinRegister reg) {
    switch (reg) {
        case PinRegister::Data:
            return QStringLiteral("Daten");
        case PinRegister::Status:
            return QStringLiteral("Status");
        case PinRegister::Control:
            return QStringLiteral("Control");
        case PinRegister::Ground:
            break;
    }
    return {};
}

QChar registerBuchstabe(PinRegister reg) {
    return registerName(reg).front();
}

// A polygon with its corners rounded off by `radius`.
QPainterPath abgerundet(const std::vector<QPointF>& ecken, qreal radius) {
    QPainterPath pfad;
    const std::size_t n = ecken.size();
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF vor = ecken[(i + n - 1) % n], ecke = ecken[i], nach = ecken[(i + 1) % n];
        const auto zu = [&](QPointF ziel) {
            const QLineF l(ecke, ziel);
            return l.pointAt(std::min(0.5, radius / l.length()));
        };
        if (i == 0)
            pfad.moveTo(zu(vor));
        else
            pfad.lineTo(zu(vor));
        pfad.quadTo(ecke, zu(nach));
    }
    pfad.closeSubpath();
    return pfad;
}

qreal strich(qreal p) {
    return std::max(1.0, 0.035 * p);
}

}  // namespace

bool obereReihe(int pin) {
    return pin <= 13;
}

qreal spalte(int pin) {
    const qreal links = kÜberstand + 0.15;  // pin 13
    return obereReihe(pin) ? links + (13 - pin) : links + 0.5 + (25 - pin);
}

QRectF zelle(int pin) {
    const qreal oben = obereReihe(pin) ? kOben : kOben + kZellenhöhe;
    return {spalte(pin) - 0.5, oben, 1.0, kZellenhöhe};
}

QString pinText(const port::PinInfo& pin, bool bekannt, bool hoch) {
    const QString kopf = QStringLiteral("Pin %1: ").arg(pin.number);
    if (pin.reg == PinRegister::Ground) return kopf + QStringLiteral("Masse");
    const QString name = QString::fromLatin1(pin.signal);
    if (!bekannt) return kopf + name;
    return kopf + name + (hoch ? QStringLiteral(", hoch") : QStringLiteral(", tief"));
}

QString registerText(const port::PinInfo& pin, bool bit) {
    if (pin.reg == PinRegister::Ground) return {};
    return QStringLiteral("%1%2=%3").arg(registerBuchstabe(pin.reg)).arg(pin.bit).arg(bit ? 1 : 0);
}

QString pinBeschreibung(const port::PinInfo& pin, PinDirection richtung, bool richtungUngewiss) {
    if (richtung == PinDirection::Ground) return QStringLiteral("Masse");
    QString text = richtung == PinDirection::Output ? QStringLiteral("Ausgang, Klick schaltet um")
                                                    : QStringLiteral("Eingang");
    text += QStringLiteral("; %1-Bit %2").arg(registerName(pin.reg)).arg(pin.bit);
    if (pin.inverted) text += QStringLiteral(", von der Hardware invertiert");
    if (richtungUngewiss) text += QStringLiteral("; Richtung nicht zurückgelesen (ppdev)");
    return text;
}

QStringList signalnamen() {
    QStringList namen;
    for (const auto& pin : port::pinMap()) namen << QString::fromLatin1(pin.signal);
    return namen;
}

QFont passendeSchrift(QFont basis, const QStringList& texte, qreal breite, int höchstens) {
    constexpr int kKleinste = 6;
    for (int pixel = std::max(höchstens, kKleinste); pixel > kKleinste; --pixel) {
        basis.setPixelSize(pixel);
        const QFontMetricsF maß(basis);
        const bool passt = std::all_of(texte.begin(), texte.end(), [&](const QString& t) {
            return maß.horizontalAdvance(t) <= breite;
        });
        if (passt) return basis;
    }
    basis.setPixelSize(kKleinste);
    return basis;
}

void zeichneLoch(QPainter& maler, QPointF mitte, qreal p, Led led) {
    maler.save();
    maler.setRenderHint(QPainter::Antialiasing);
    const qreal ring = kLochRadius * p;
    const qreal r = kLedRadius * p;
    if (led == Led::Hoch) {
        // The glow of a lit LED, reaching a little over the contact.
        QRadialGradient schein(mitte, ring * 1.5);
        schein.setColorAt(0.0, QColor(0x5C, 0xFF, 0x6A, 150));
        schein.setColorAt(1.0, QColor(0x5C, 0xFF, 0x6A, 0));
        maler.setPen(Qt::NoPen);
        maler.setBrush(schein);
        maler.drawEllipse(mitte, ring * 1.5, ring * 1.5);
    }
    maler.setPen(QPen(Farben::kontakt(), strich(p)));
    maler.setBrush(QColor(0x14, 0x16, 0x18));
    maler.drawEllipse(mitte, ring, ring);
    switch (led) {
        case Led::Hoch: {
            QRadialGradient licht(mitte - QPointF(r * 0.3, r * 0.3), r * 1.3);
            licht.setColorAt(0.0, QColor(0xEC, 0xFF, 0xE0));
            licht.setColorAt(0.35, QColor(0x4B, 0xE3, 0x5A));
            licht.setColorAt(1.0, QColor(0x1C, 0x9A, 0x2A));
            maler.setPen(QPen(QColor(0x13, 0x7A, 0x1F), std::max(0.5, 0.02 * p)));
            maler.setBrush(licht);
            maler.drawEllipse(mitte, r, r);
            break;
        }
        case Led::Tief:
            maler.setPen(QPen(QColor(0x12, 0x2A, 0x17), std::max(0.5, 0.02 * p)));
            maler.setBrush(QColor(0x27, 0x4A, 0x2E));
            maler.drawEllipse(mitte, r, r);
            break;
        case Led::Unbekannt:
            maler.setPen(Qt::NoPen);
            maler.setBrush(QColor(0x55, 0x59, 0x5D));
            maler.drawEllipse(mitte, r, r);
            break;
        case Led::Masse:
            break;  // a plain contact, nothing to light
    }
    maler.restore();
}

void zeichneRichtung(QPainter& maler, QPointF innen, QPointF außen, qreal p, PinDirection richtung,
                     bool ungewiss, bool invertiert) {
    if (richtung == PinDirection::Ground) return;
    maler.save();
    maler.setRenderHint(QPainter::Antialiasing);
    const QColor farbe = richtung == PinDirection::Output ? Farben::ausgang() : Farben::eingang();
    const qreal dicke = strich(p);
    const QLineF achse(innen, außen);
    const QPointF einheit = (außen - innen) / achse.length();
    if (invertiert) {
        const qreal blase = 0.055 * p;
        maler.setPen(QPen(farbe, dicke));
        maler.setBrush(Qt::white);
        maler.drawEllipse(innen + einheit * blase, blase, blase);
        innen += einheit * (2 * blase);
    }
    const bool ausgang = richtung == PinDirection::Output;
    const QPointF fuß = ausgang ? innen : außen;
    const QPointF spitze = ausgang ? außen : innen;
    const QPointF vor = ausgang ? einheit : -einheit;
    const QPointF quer(-vor.y(), vor.x());
    const qreal kopfLänge = 0.13 * p;
    const QPointF basis = spitze - vor * kopfLänge;

    QPen linie(farbe, dicke, ungewiss ? Qt::DashLine : Qt::SolidLine, Qt::FlatCap);
    maler.setPen(linie);
    maler.drawLine(fuß, basis);
    const QPolygonF kopf{spitze, basis + quer * (0.085 * p), basis - quer * (0.085 * p)};
    maler.setPen(QPen(farbe, dicke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    maler.setBrush(ungewiss ? QBrush(Qt::white) : QBrush(farbe));
    maler.drawPolygon(kopf);
    maler.restore();
}

void zeichneGehäuse(QPainter& maler, QPointF ursprung, qreal p) {
    const qreal oben = kOben + kZellenhöhe - kRand;
    const qreal unten = kOben + kZellenhöhe + kRand;
    const auto punkt = [&](QPointF inPitches) { return ursprung + inPitches * p; };
    const std::vector<QPointF> ecken{
        punkt({spalte(13) - kÜberstand, oben}), punkt({spalte(1) + kÜberstand, oben}),
        punkt({spalte(14) + kÜberstand, unten}), punkt({spalte(25) - kÜberstand, unten})};
    const QPainterPath schale = abgerundet(ecken, 0.4 * p);
    maler.save();
    maler.setRenderHint(QPainter::Antialiasing);
    maler.setPen(QPen(Farben::gehäuse(), std::max(1.5, 0.1 * p)));
    maler.setBrush(Farben::isolierung());
    maler.drawPath(schale);
    // A thin bright line inside the steel edge reads as its bevel.
    maler.setPen(QPen(QColor(0xB4, 0xBA, 0xC0), std::max(0.5, 0.025 * p)));
    maler.setBrush(Qt::NoBrush);
    maler.drawPath(schale);
    maler.restore();
}

void zeichneMasse(QPainter& maler, QPointF oben, qreal p, bool nachUnten) {
    maler.save();
    maler.setRenderHint(QPainter::Antialiasing);
    maler.setPen(QPen(QColor(0x40, 0x44, 0x48), strich(p), Qt::SolidLine, Qt::FlatCap));
    const qreal s = nachUnten ? 1.0 : -1.0;
    maler.drawLine(oben, oben + QPointF(0, s * 0.12 * p));
    const qreal halbe[] = {0.16, 0.10, 0.04};
    for (int i = 0; i < 3; ++i) {
        const QPointF mitte = oben + QPointF(0, s * (0.12 + 0.07 * i) * p);
        maler.drawLine(mitte - QPointF(halbe[i] * p, 0), mitte + QPointF(halbe[i] * p, 0));
    }
    maler.restore();
}

}  // namespace dravel::stecker
