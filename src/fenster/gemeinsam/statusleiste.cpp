#include "statusleiste.h"

#include <QEvent>
#include <QLocale>
#include <QTime>
#include <algorithm>

namespace dravel {
namespace {
// Panel widths in twips: three text panels of about 1490, the clock 1040.
constexpr int kPanelTwips[4] = {1490, 1490, 1490, 1040};
}  // namespace

Statusleiste::Statusleiste(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    setStyleSheet("QStatusBar::item { border: none; }");
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(2, 0, 2, 0);
        panel->setTextFormat(Qt::PlainText);
        panel->installEventFilter(this);
        panels_[i] = panel;
    }
    panels_[3]->setAlignment(Qt::AlignCenter);
    // The clock ticks every second, so a new minute shows within a second.
    uhr_.setInterval(1000);
    connect(&uhr_, &QTimer::timeout, this, [this] { stelleUhr(); });
    uhr_.start();
    stelleUhr();
}

void Statusleiste::stelleUhr() {
    panels_[3]->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
}

void Statusleiste::passeAn(int nummer, const QStringList& texte) {
    mustertexte_.at(nummer - 1) = texte;
    ordne();
}

void Statusleiste::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    ordne();
}

bool Statusleiste::eventFilter(QObject* objekt, QEvent* event) {
    // A panel's font decides its width.
    if (event->type() == QEvent::FontChange) ordne();
    return QStatusBar::eventFilter(objekt, event);
}

void Statusleiste::ordne() {
    // Panels are placed by hand: the text panels keep their width, or what
    // their texts need in the font in use, and the clock takes what is
    // left, as the fixed window allows.
    const int h = height();
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        int breite = (kPanelTwips[i] + 7) / 15;
        const QLabel* p = panels_[i];
        const int rand = p->width() - p->contentsRect().width() + 1;  // the separator
        for (const QString& text : mustertexte_[i]) {
            breite = std::max(breite, p->fontMetrics().horizontalAdvance(text) + rand);
        }
        if (i == 3) breite = width() - x;
        panels_[i]->setGeometry(x, 1, breite - 1, h - 2);
        x += breite;
    }
}

}  // namespace dravel
