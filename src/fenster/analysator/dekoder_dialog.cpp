#include "dekoder_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace dravel {

std::string kanalwert(const analysator::Aufnahme& aufnahme, const analysator::Leitung& leitung) {
    // "10 /Ack" or "Pin10_nAck": the decoders know it as "10".
    if (const int pin = dekoder::pinVon(leitung.name); pin > 0) {
        std::string ziffern = std::to_string(pin);
        if (dekoder::leitungFür(aufnahme, ziffern) == leitung.bit) return ziffern;
    }
    return leitung.name;
}

DekoderDialog::DekoderDialog(std::vector<dekoder::Beschreibung> alle,
                             std::shared_ptr<const analysator::Aufnahme> aufnahme,
                             std::vector<Stapelziel> stapel, QWidget* parent)
    : QDialog(parent),
      alle_(std::move(alle)),
      aufnahme_(std::move(aufnahme)),
      stapel_(std::move(stapel)) {
    setObjectName(QStringLiteral("DekoderDialog"));
    setWindowTitle(QStringLiteral("Dekoder hinzufügen"));

    Suche = new QLineEdit(this);
    Suche->setObjectName(QStringLiteral("Suche"));
    Suche->setPlaceholderText(QStringLiteral("Suchen: uart, spi, i2c …"));
    Suche->setClearButtonEnabled(true);
    Liste = new QTreeWidget(this);
    Liste->setObjectName(QStringLiteral("Liste"));
    Liste->setHeaderLabels(
        {QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("Beschreibung")});
    Liste->setRootIsDecorated(false);
    Liste->setUniformRowHeights(true);
    for (const dekoder::Beschreibung& b : alle_) {
        auto* eintrag = new QTreeWidgetItem(
            Liste, {QString::fromStdString(b.id), QString::fromStdString(b.name),
                    QString::fromStdString(b.beschreibung)});
        eintrag->setToolTip(2, QString::fromStdString(b.langname + "\n" + b.beschreibung));
    }
    Liste->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    Liste->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    Beschreibung = new QLabel(this);
    Beschreibung->setWordWrap(true);
    formFeld_ = new QWidget(this);
    form_ = new QFormLayout(formFeld_);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    auto* rechts = new QWidget(this);
    auto* rechtsOrdnung = new QVBoxLayout(rechts);
    rechtsOrdnung->addWidget(Beschreibung);
    rechtsOrdnung->addWidget(formFeld_);
    rechtsOrdnung->addStretch(1);
    auto* links = new QWidget(this);
    auto* linksOrdnung = new QVBoxLayout(links);
    linksOrdnung->setContentsMargins(0, 0, 0, 0);
    linksOrdnung->addWidget(Suche);
    linksOrdnung->addWidget(Liste);
    auto* teiler = new QSplitter(this);
    teiler->addWidget(links);
    teiler->addWidget(rechts);
    teiler->setSizes({520, 360});

    Knoepfe = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Knoepfe->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Hinzufügen"));
    auto* ordnung = new QVBoxLayout(this);
    ordnung->addWidget(teiler, 1);
    ordnung->addWidget(Knoepfe);
    resize(900, 560);

    connect(Suche, &QLineEdit::textChanged, this, [this](const QString& t) { filtere(t); });
    connect(Liste, &QTreeWidget::currentItemChanged, this, [this] { zeigeDekoder(); });
    connect(Liste, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (Knoepfe->button(QDialogButtonBox::Ok)->isEnabled()) accept();
    });
    connect(Knoepfe, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Knoepfe, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!wähle("uart") && Liste->topLevelItemCount() > 0) {
        Liste->setCurrentItem(Liste->topLevelItem(0));
    }
    zeigeDekoder();
}

void DekoderDialog::filtere(const QString& text) {
    QTreeWidgetItem* erster = nullptr;
    for (int i = 0; i < Liste->topLevelItemCount(); ++i) {
        QTreeWidgetItem* e = Liste->topLevelItem(i);
        const bool trifft = text.isEmpty() || e->text(0).contains(text, Qt::CaseInsensitive) ||
                            e->text(1).contains(text, Qt::CaseInsensitive) ||
                            e->text(2).contains(text, Qt::CaseInsensitive);
        e->setHidden(!trifft);
        if (trifft && !erster) erster = e;
    }
    // A decoder named exactly goes first ("midi", not the "humidity" sensor).
    const auto genau = Liste->findItems(text, Qt::MatchFixedString, 0);
    if (!genau.isEmpty()) {
        Liste->setCurrentItem(genau.front());
    } else if (erster && (!Liste->currentItem() || Liste->currentItem()->isHidden())) {
        Liste->setCurrentItem(erster);
    }
}

bool DekoderDialog::wähle(const std::string& id) {
    const auto treffer = Liste->findItems(QString::fromStdString(id), Qt::MatchExactly, 0);
    if (treffer.isEmpty()) return false;
    Liste->setCurrentItem(treffer.front());
    return true;
}

const dekoder::Beschreibung* DekoderDialog::gewählt() const {
    const QTreeWidgetItem* e = Liste->currentItem();
    if (!e) return nullptr;
    const int i = Liste->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(e));
    return i >= 0 && std::size_t(i) < alle_.size() ? &alle_[std::size_t(i)] : nullptr;
}

void DekoderDialog::zeigeDekoder() {
    while (form_->rowCount() > 0) form_->removeRow(0);  // deletes the widgets too
    Stapeln = nullptr;
    kanäle_.clear();
    optionen_.clear();
    ziele_.clear();
    const dekoder::Beschreibung* b = gewählt();
    QPushButton* ok = Knoepfe->button(QDialogButtonBox::Ok);
    if (!b) {
        Beschreibung->clear();
        ok->setEnabled(false);
        return;
    }
    Beschreibung->setText(QStringLiteral("<b>%1</b><br>%2")
                              .arg(QString::fromStdString(b->langname).toHtmlEscaped(),
                                   QString::fromStdString(b->beschreibung).toHtmlEscaped()));

    // Where it may go: on the lines when it reads them, on a stack whose
    // top gives what it reads.
    Stapeln = new QComboBox(formFeld_);
    Stapeln->setObjectName(QStringLiteral("Stapeln"));
    const auto liest = [&](const std::string& was) {
        return std::find(b->eingaben.begin(), b->eingaben.end(), was) != b->eingaben.end();
    };
    if (liest("logic")) {
        Stapeln->addItem(QStringLiteral("die Leitungen"));
        ziele_.push_back(-1);
    }
    for (std::size_t s = 0; s < stapel_.size(); ++s) {
        if (std::any_of(stapel_[s].ausgaben.begin(), stapel_[s].ausgaben.end(), liest)) {
            Stapeln->addItem(stapel_[s].name);
            ziele_.push_back(int(s));
        }
    }
    form_->addRow(QStringLiteral("Liest:"), Stapeln);
    if (ziele_.empty()) {
        QStringList was;
        for (const auto& e : b->eingaben) was << QString::fromStdString(e);
        auto* hinweis = new QLabel(QStringLiteral("Braucht erst einen Dekoder, der „%1“ ausgibt.")
                                       .arg(was.join(QStringLiteral("“ oder „"))),
                                   formFeld_);
        hinweis->setWordWrap(true);
        form_->addRow(hinweis);
    }

    // Channels, on the lines of the recording; the required ones take a
    // line each to start with.
    const auto& leitungen = aufnahme_ ? aufnahme_->leitungen() : std::vector<analysator::Leitung>{};
    int nächste = 0;
    for (const dekoder::Kanal& k : b->kanäle) {
        auto* wahl = new QComboBox(formFeld_);
        wahl->setObjectName(QStringLiteral("Kanal(%1)").arg(QString::fromStdString(k.id)));
        if (!k.pflicht) wahl->addItem(QStringLiteral("—"), QString());
        for (const auto& l : leitungen) {
            wahl->addItem(QString::fromStdString(l.name),
                          QString::fromStdString(kanalwert(*aufnahme_, l)));
        }
        if (k.pflicht && !leitungen.empty()) {
            wahl->setCurrentIndex(nächste++ % int(leitungen.size()));
        }
        wahl->setToolTip(QString::fromStdString(k.beschreibung));
        form_->addRow(QStringLiteral("%1%2:").arg(QString::fromStdString(k.name),
                                                  k.pflicht ? QStringLiteral(" *") : QString()),
                      wahl);
        kanäle_.emplace_back(k.id, wahl);
    }
    for (const dekoder::Option& o : b->optionen) {
        QWidget* feld = nullptr;
        const QString vorgabe = QString::fromStdString(o.vorgabe);
        if (!o.werte.empty()) {
            auto* wahl = new QComboBox(formFeld_);
            for (const auto& w : o.werte) wahl->addItem(QString::fromStdString(w));
            wahl->setCurrentText(vorgabe);
            feld = wahl;
        } else {
            auto* zeile = new QLineEdit(vorgabe, formFeld_);
            zeile->setPlaceholderText(vorgabe);
            feld = zeile;
        }
        feld->setObjectName(QStringLiteral("Option(%1)").arg(QString::fromStdString(o.id)));
        feld->setToolTip(QString::fromStdString(o.beschreibung));
        form_->addRow(QString::fromStdString(o.beschreibung) + QLatin1Char(':'), feld);
        optionen_.emplace_back(&o, feld);
    }
    ok->setEnabled(!ziele_.empty() && (leitungen.size() > 0 || !liest("logic")));
}

int DekoderDialog::ziel() const {
    const int i = Stapeln ? Stapeln->currentIndex() : -1;
    return i >= 0 && std::size_t(i) < ziele_.size() ? ziele_[std::size_t(i)] : -1;
}

std::string DekoderDialog::angabe() const {
    const dekoder::Beschreibung* b = gewählt();
    if (!b) return {};
    std::string text = b->id;
    // A stacked decoder reads the one below, not the lines.
    if (ziel() < 0) {
        for (const auto& [id, wahl] : kanäle_) {
            const std::string wert = wahl->currentData().toString().toStdString();
            if (!wert.empty()) text += ":" + id + "=" + wert;
        }
    }
    for (const auto& [option, feld] : optionen_) {
        const auto* wahl = qobject_cast<QComboBox*>(feld);
        const QString wert =
            wahl ? wahl->currentText() : static_cast<QLineEdit*>(feld)->text().trimmed();
        if (!wert.isEmpty() && wert.toStdString() != option->vorgabe) {
            text += ":" + option->id + "=" + wert.toStdString();
        }
    }
    return text;
}

}  // namespace dravel
