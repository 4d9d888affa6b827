#include "portpruefung.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
    Bericht->setPlainText(QString::fromStdString(app::portBericht(port::examinePorts(system))));
    auto* knöpfe = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Kopieren = knöpfe->addButton(QStringLiteral("Kopieren"), QDialogButtonBox::ActionRole);
    connect(Kopieren, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Bericht->toPlainText()); });
    connect(knöpfe, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* spalte = new QVBoxLayout(this);
    spalte->addWidget(Bericht);
    spalte->addWidget(knöpfe);
    resize(760, 420);
}

void Steuerung::Portprüfung_Click() {
    auto* dialog = new Portprüfung(port::realSystem(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

}  // namespace dravel
