#include "vcd_oeffnen.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QObject>
#include <QProgressDialog>
#include <QWidget>
#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include "logik/vcd_laden.h"

namespace dravel {
namespace {

constexpr QLatin1StringView kName("dravel_ladevorgang");

// One load: the worker thread, its dialog and its result. A child of the
// window, so that closing the window cancels the load and joins it.
class Ladevorgang final : public QObject {
public:
    Ladevorgang(QWidget* fenster, const QString& pfad, VcdGeladen fertig)
        : QObject(fenster), fertig_(std::move(fertig)) {
        setObjectName(kName);
        dialog_ = new QProgressDialog(QStringLiteral("Lade „%1“ …").arg(QFileInfo(pfad).fileName()),
                                      QStringLiteral("Abbrechen"), 0, kSchritte, fenster);
        dialog_->setWindowTitle(QStringLiteral("Aufnahme öffnen"));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(500);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setValue(0);
        QObject::connect(dialog_, &QProgressDialog::canceled, this, [this] { abbrechen_ = true; });

        fortschritt_.abbrechen = &abbrechen_;
        fortschritt_.melde = [this](std::uint64_t gelesen, std::uint64_t gesamt) {
            const int wert = gesamt == 0 ? kSchritte : int(gelesen * kSchritte / gesamt);
            // Only when the bar moves: a file of gigabytes has thousands of pieces.
            if (wert == gemeldet_) return;
            gemeldet_ = wert;
            QMetaObject::invokeMethod(
                this,
                [this, wert] {
                    if (dialog_) dialog_->setValue(wert);
                },
                Qt::QueuedConnection);
        };
        faden_ = std::thread([this, datei = pfad.toStdString()] {
            std::string grund, hinweis;
            aufnahme_ = analysator::ladeVcd(datei, grund, &hinweis, &fortschritt_);
            fehler_ = QString::fromStdString(grund);
            hinweis_ = QString::fromStdString(hinweis);
            QMetaObject::invokeMethod(
                this, [this] { beende(); }, Qt::QueuedConnection);
        });
    }

    ~Ladevorgang() override {
        // The window closes during the load: it ends after the piece in hand.
        abbrechen_ = true;
        if (faden_.joinable()) faden_.join();
        delete dialog_;
    }

private:
    static constexpr int kSchritte = 1000;

    // May run inside the dialog's setValue (which lets a modal dialog's
    // events through): the dialog and this go later, not here.
    void beende() {
        faden_.join();
        const bool abgebrochen = abbrechen_ && !aufnahme_;
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
        // Off the window's children first: a new load may start from `fertig`.
        setParent(nullptr);
        deleteLater();
        fertig_(std::move(aufnahme_), abgebrochen ? QString() : fehler_, hinweis_);
    }

    VcdGeladen fertig_;
    QProgressDialog* dialog_ = nullptr;
    std::atomic<bool> abbrechen_{false};
    analysator::Ladefortschritt fortschritt_;
    int gemeldet_ = -1;  // worker thread only
    std::thread faden_;
    // Written by the worker, read after it is joined.
    std::unique_ptr<analysator::Aufnahme> aufnahme_;
    QString fehler_, hinweis_;
};

}  // namespace

bool lädtVcd(const QWidget* fenster) {
    return fenster->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly) != nullptr;
}

void brichVcdLadenAb(QWidget* fenster) {
    delete fenster->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly);
}

bool ladeVcdImHintergrund(QWidget* fenster, const QString& pfad, VcdGeladen fertig) {
    if (lädtVcd(fenster)) return false;
    new Ladevorgang(fenster, pfad, std::move(fertig));
    return true;
}

}  // namespace dravel
