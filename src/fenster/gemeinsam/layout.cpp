#include "layout.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "einpassen.h"
#include "klick_label.h"
#include "schrift.h"
#include "statusleiste.h"
#include "umbruch.h"

namespace dravel::layout {
namespace {

QWidget* neuesWidget(const Steuerelement& e, QWidget* eltern) {
    const QString beschriftung = text(e.text);
    switch (e.art) {
        case Art::Rahmen:
            return new Rahmen(beschriftung, eltern);
        case Art::Textfeld: {
            auto* feld = new QLineEdit(beschriftung, eltern);
            if (e.maxLänge > 0) feld->setMaxLength(e.maxLänge);
            feld->setReadOnly(e.merkmale & Schreibgeschützt);
            return feld;
        }
        case Art::Knopf:
            return new UmbruchKnopf(beschriftung, eltern);
        case Art::Kontrollkästchen: {
            auto* kasten = new UmbruchKästchen(beschriftung, eltern);
            kasten->setChecked(e.merkmale & Gewählt);
            return kasten;
        }
        case Art::Optionsfeld: {
            // Option buttons group by their container: auto-exclusive radio
            // buttons with the same parent do exactly that.
            auto* knopf = new QRadioButton(beschriftung, eltern);
            knopf->setChecked(e.merkmale & Gewählt);
            return knopf;
        }
        case Art::Bezeichnung: {
            QLabel* label = (e.merkmale & Klickbar) ? new KlickLabel(beschriftung, eltern)
                                                    : new QLabel(beschriftung, eltern);
            Qt::Alignment ausrichtung = Qt::AlignLeft;
            if (e.merkmale & Zentriert) ausrichtung = Qt::AlignHCenter;
            if (e.merkmale & Rechtsbündig) ausrichtung = Qt::AlignRight;
            label->setAlignment(ausrichtung | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            label->setFocusPolicy(Qt::NoFocus);
            if (e.merkmale & Rahmenlinie) {
                label->setFrameStyle(QFrame::Box | QFrame::Plain);
                label->setLineWidth(1);
                label->setAlignment(ausrichtung | Qt::AlignVCenter);
            }
            return label;
        }
        case Art::Kombifeld: {
            auto* kombi = new QComboBox(eltern);
            kombi->setEditable(true);
            kombi->setInsertPolicy(QComboBox::NoInsert);
            kombi->setEditText(beschriftung);
            return kombi;
        }
        case Art::Statusleiste:
            return new Statusleiste(eltern);
        case Art::Zeitgeber:
            break;
    }
    return nullptr;
}

void färbeRot(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, QColor(255, 0, 0));
    p.setColor(QPalette::Text, QColor(255, 0, 0));
    w->setPalette(p);
}

// A label whose caption is wider than its box gets its letters moved closer
// together, by up to 1 px, until the caption fits.
void schiebeBuchstabenZusammen(QLabel* label) {
    QFont schrift = label->font();
    for (int schritt = 1; schritt <= 10 && label->sizeHint().width() > label->width(); ++schritt) {
        schrift.setLetterSpacing(QFont::AbsoluteSpacing, -0.1 * schritt);
        label->setFont(schrift);
    }
}

// The width a control's caption needs in its font; 0 for controls without
// one (and for the status bar, which fits its panels itself).
int bedarf(const QWidget* w) {
    if (const auto* knopf = dynamic_cast<const UmbruchKnopf*>(w)) return knopf->bedarf();
    if (const auto* kasten = dynamic_cast<const UmbruchKästchen*>(w)) return kasten->bedarf();
    if (const auto* rahmen = dynamic_cast<const Rahmen*>(w)) return rahmen->bedarf();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text().isEmpty() ? 0 : label->sizeHint().width();
    }
    if (const auto* knopf = qobject_cast<const QRadioButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(knopf);
        option.text = knopf->text();
        const QRect inhalt =
            knopf->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, knopf);
        return inhalt.left() + knopf->fontMetrics().size(Qt::TextShowMnemonic, option.text).width();
    }
    return 0;
}

// Widens what the font in use needs wider than the table has it (see
// passeEin), the client area too.
void passeSchriftAn(QWidget* client, const std::vector<QWidget*>& widgets) {
    std::vector<Platz> plätze;
    for (QWidget* w : widgets) {
        const auto behälter = std::find(widgets.begin(), widgets.end(), w->parentWidget());
        plätze.push_back({behälter == widgets.end() ? -1 : int(behälter - widgets.begin()),
                          w->geometry(), bedarf(w), qobject_cast<const QLabel*>(w) != nullptr});
    }
    int breite = client->width();
    const std::vector<QRect> neu = passeEin(plätze, breite);
    for (std::size_t i = 0; i < widgets.size(); ++i) widgets[i]->setGeometry(neu[i]);
    if (breite > client->width()) client->setFixedWidth(breite);
}

}  // namespace

void baueSteuerelemente(QWidget* client, std::span<const Steuerelement> tabelle,
                        ErzeugteObjekte& objekte) {
    client->setFont(schrift::standard());
    std::vector<std::pair<int, QWidget*>> tabfolge;
    std::vector<QWidget*> widgets;

    for (const Steuerelement& e : tabelle) {
        const QString name = text(e.name);
        QWidget* eltern = client;
        if (!e.container.empty()) {
            eltern = qobject_cast<QWidget*>(objekte.nachName.value(text(e.container)));
            Q_ASSERT_X(eltern, "baueSteuerelemente", "container must come before its controls");
        }

        if (e.art == Art::Zeitgeber) {
            auto* timer = new QTimer(client);
            timer->setObjectName(name);
            timer->setInterval(e.intervall);
            if (e.merkmale & Läuft) timer->start();
            objekte.nachName.insert(name, timer);
            continue;
        }

        QWidget* w = neuesWidget(e, eltern);
        w->setObjectName(name);
        w->setGeometry(inPixel(e.links), inPixel(e.oben), inPixel(e.breite), inPixel(e.höhe));
        if (!e.tooltip.empty()) w->setToolTip(text(e.tooltip));
        if (e.merkmale & FettSchrift) w->setFont(schrift::fett());
        if (e.merkmale & KleineSchrift) w->setFont(schrift::klein());
        if (e.merkmale & RoteSchrift) färbeRot(w);
        if (auto* label = qobject_cast<QLabel*>(w); label && (e.merkmale & Eng)) {
            schiebeBuchstabenZusammen(label);
        }
        if (e.merkmale & Gesperrt) w->setEnabled(false);
        if (e.merkmale & Verborgen) w->hide();
        if (w->focusPolicy() != Qt::NoFocus) tabfolge.emplace_back(e.tab, w);
        objekte.nachName.insert(name, w);
        widgets.push_back(w);
    }
    passeSchriftAn(client, widgets);

    std::stable_sort(tabfolge.begin(), tabfolge.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabfolge.size(); ++i) {
        QWidget::setTabOrder(tabfolge[i - 1].second, tabfolge[i].second);
    }
}

void baueMenüs(QMenuBar* leiste, std::span<const Menüeintrag> tabelle, ErzeugteObjekte& objekte) {
    QHash<QString, QMenu*> menüs;
    for (const Menüeintrag& m : tabelle) {
        const QString name = text(m.name);
        const QString beschriftung = text(m.text);
        QAction* aktion = nullptr;
        switch (m.art) {
            case MenüArt::Titel: {
                QMenu* menü = leiste->addMenu(beschriftung);
                menü->setObjectName(name);
                menüs.insert(name, menü);
                aktion = menü->menuAction();
                break;
            }
            case MenüArt::Befehl:
                aktion = leiste->addAction(beschriftung);
                aktion->setParent(leiste);
                break;
            case MenüArt::Untermenü: {
                QMenu* eltern = menüs.value(text(m.eltern));
                Q_ASSERT(eltern);
                QMenu* menü = eltern->addMenu(beschriftung);
                menü->setObjectName(name);
                menüs.insert(name, menü);
                aktion = menü->menuAction();
                break;
            }
            case MenüArt::Eintrag:
            case MenüArt::Trenner: {
                QMenu* eltern = menüs.value(text(m.eltern));
                Q_ASSERT(eltern);
                // A separator shows a line only; its "-" caption is no text.
                aktion = new QAction(m.art == MenüArt::Trenner ? QString() : beschriftung, eltern);
                aktion->setSeparator(m.art == MenüArt::Trenner);
                eltern->addAction(aktion);
                break;
            }
        }
        aktion->setObjectName(name);
        aktion->setVisible(m.sichtbar);
        objekte.nachName.insert(name, aktion);
    }
}

}  // namespace dravel::layout
