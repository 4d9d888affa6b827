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
    for (int ziffer = 0; ziffer <= 9; ++ziffer) {
        mustertexte_[3] << QStringLiteral("%1%1:%1%1").arg(ziffer);
    }
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
    updateGeometry();
    ordne();
}

void Statusleiste::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    ordne();
}

bool Statusleiste::eventFilter(QObject* objekt, QEvent* event) {
    // A panel's font decides its width.
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        ordne();
    }
    return QStatusBar::eventFilter(objekt, event);
}

QSize Statusleiste::sizeHint() const {
    // Wide enough for every panel's widest text, so that a window that
    // takes this width shows all of them whole.
    int breite = 0;
    for (int i = 0; i < 3; ++i) breite += breiteVon(i);
    breite += bedarf(3) + 1;  // the clock takes what is left, but no less
    return {breite, QStatusBar::sizeHint().height()};
}

int Statusleiste::breiteVon(int index) const {
    return std::max((kPanelTwips[index] + 7) / 15, bedarf(index) + 1);  // +1: the separator
}

void Statusleiste::ordne() {
    // Panels are placed by hand: the text panels keep their width, or what
    // their widest text needs in the font in use, and the clock takes what
    // is left, as the fixed window allows.
    const int h = height();
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        const int breite = i == 3 ? width() - x : breiteVon(i);
        panels_[i]->setGeometry(x, 1, breite - 1, h - 2);
        x += breite;
    }
}

int Statusleiste::bedarf(int index) const {
    QLabel* p = panels_[index];
    const QFontMetrics maß = p->fontMetrics();
    const QString* breitester = nullptr;
    for (const QString& text : mustertexte_[index]) {
        if (!breitester || maß.horizontalAdvance(text) > maß.horizontalAdvance(*breitester)) {
            breitester = &text;
        }
    }
    if (!breitester) return 0;
    // The label's own size hint: it counts the frame, the margins and the
    // indent a framed label gives its text (half an "x").
    const QString bisher = p->text();
    p->setText(*breitester);
    const int breite = p->sizeHint().width();
    p->setText(bisher);
    return breite;
}

}  // namespace dravel
