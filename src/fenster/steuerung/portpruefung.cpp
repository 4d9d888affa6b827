#include "portpruefung.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "logik/kommandozeile.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "port/system_calls.h"
#include "steuerung.h"

namespace dravel {

Portprüfung::Portprüfung(port::SystemCalls& system, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Portprüfung"));
    Bericht = new QPlainTextEdit(this);
    Bericht->setReadOnly(true);
    // The fixes are commands: monospace, and no wrapping inside them.
    Bericht->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Bericht->setLineWrapMode(QPlainTextEdit::NoWrap);
    Bericht->setPlainText(QString::fromStdString(app::portBericht(app::untersuchePorts(system))));
    auto* knöpfe = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Kopieren = knöpfe->addButton(QStringLiteral("Kopieren"), QDialogButtonBox::ActionRole);
    connect(Kopieren, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Bericht->toPlainText()); });
    connect(knöpfe, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* spalte = new QVBoxLayout(this);
    spalte->addWidget(Bericht);
    spalte->addWidget(knöpfe);
    // Wide enough for the longest line, as far as the screen allows; past
    // that the view scrolls.
    const QStringList zeilen = Bericht->toPlainText().split(u'\n');
    int breiteste = 0;
    for (const QString& zeile : zeilen) {
        breiteste = std::max(breiteste, Bericht->fontMetrics().horizontalAdvance(zeile));
    }
    const int rand = Bericht->frameWidth() * 2 + 2 * int(Bericht->document()->documentMargin()) +
                     spalte->contentsMargins().left() + spalte->contentsMargins().right() +
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int höchstens = 1200;
    if (const QScreen* bildschirm = screen()) {
        höchstens = bildschirm->availableGeometry().width() * 9 / 10;
    }
    resize(std::clamp(breiteste + rand, 420, std::max(420, höchstens)), 420);
}

void Steuerung::Portprüfung_Click() {
    auto* dialog = new Portprüfung(port::realSystem(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

}  // namespace dravel
