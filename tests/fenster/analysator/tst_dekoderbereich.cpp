// The analyzer's decoders: remembered in the settings and in a saved
// capture, and what they find shown in the table and exported.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "fenster/analysator/dekoder_dialog.h"
#include "fenster/analysator/dekoderbereich.h"
#include "fenster/analysator/logikanalysator.h"
#include "fenster/analysator/zeitdiagramm.h"

using namespace dravel;
using analysator::Aufnahme;

namespace {

// "Hi" at 115200 baud on pin 10.
std::shared_ptr<Aufnahme> uart() {
    const analysator::Pegel hoch = analysator::bitVon(10);
    auto a = std::make_shared<Aufnahme>(analysator::leitungenFür(hoch), 1 << 20);
    const double bit = 1e9 / 115200;
    double t = 100'000;
    a->hänge(0, hoch);
    for (const char c : {'H', 'i'}) {
        const int rahmen = 0x200 | (static_cast<unsigned char>(c) << 1);  // start 0, stop 1
        for (int k = 0; k < 10; ++k, t += bit)
            a->hänge(std::uint64_t(t), (rahmen >> k) & 1 ? hoch : 0);
        t += bit;
    }
    a->setzeBisNs(std::uint64_t(t + 100'000));
    a->basis = 0x378;
    a->beende(analysator::Ende::Dauer);
    return a;
}

}  // namespace

class TestDekoderbereich : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Logikanalysator::gespeichert()->clear(); }
    void decodersComeBackFromTheSettings();
    void savedCaptureBringsItsDecodersAndTheirFindings();
    void dialogNamesTheChannelsAndOnlyTheOptionsChanged();
};

void TestDekoderbereich::decodersComeBackFromTheSettings() {
    const std::vector<std::string> stapel{"uart:rx=10:baudrate=9600,midi", "spi:clk=2"};
    Zeitdiagramm diagramm;
    Dekoderbereich(&diagramm).setzeStapel(stapel);
    QCOMPARE(Dekoderbereich(&diagramm).stapel(), stapel);
    // Removing the uart removes what reads it.
    Dekoderbereich bereich(&diagramm);
    bereich.entferne(0, 0);
    QCOMPARE(Dekoderbereich(&diagramm).stapel(), std::vector<std::string>{"spi:clk=2"});
}

void TestDekoderbereich::savedCaptureBringsItsDecodersAndTheirFindings() {
    QTemporaryDir ordner;
    const QString pfad = ordner.filePath("uart.vcd");
    const std::vector<std::string> stapel{"uart:rx=10:baudrate=115200"};
    {
        Logikanalysator fenster;
        fenster.zeige(uart());
        fenster.Dekoder->setzeStapel(stapel);
        QString fehler;
        QVERIFY2(fenster.speichere(pfad, fehler), qPrintable(fehler));
        fenster.close();
    }
    Logikanalysator::gespeichert()->clear();
    auto& fenster = *new Logikanalysator;
    QVERIFY(fenster.Dekoder->stapel().empty());
    QString fehler;
    QVERIFY2(fenster.öffne(pfad, fehler), qPrintable(fehler));
    QCOMPARE(fenster.Dekoder->stapel(), stapel);
    QVERIFY2(fenster.Dekoder->warte(), qPrintable(fenster.Dekoder->Meldung->toolTip()));

    // The bytes in the table, found by their text; the CSV quotes them.
    fenster.Dekoder->Suche->setText("69");
    QTRY_COMPARE(fenster.Dekoder->Modell->rowCount(), 1);
    QCOMPARE(fenster.Dekoder->Modell->index(0, 3).data().toString(), QStringLiteral("69"));
    QVERIFY2(fenster.Dekoder->exportiere(ordner.filePath("a.csv"), fehler), qPrintable(fehler));
    QFile csv(ordner.filePath("a.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> zeilen = csv.readAll().split('\n');
    QCOMPARE(zeilen.size(), 3);  // header, one line, the last newline
    QVERIFY2(zeilen[1].endsWith(";\"uart\";\"RX\";\"69\""), zeilen[1].constData());

    // A click shows it in the middle of the diagram.
    fenster.Diagramm->setzeSicht(fenster.Diagramm->anfangNs(), 20'000);
    fenster.Dekoder->springeZu(0);
    const auto& a = (*fenster.Dekoder->annotationen())[fenster.Dekoder->Modell->annotation(0)];
    QCOMPARE(fenster.Diagramm->sichtAnfang() + fenster.Diagramm->sichtSpanne() / 2,
             double(a.anfangNs + a.endeNs) / 2);
    fenster.close();
}

void TestDekoderbereich::dialogNamesTheChannelsAndOnlyTheOptionsChanged() {
    std::string fehler;
    DekoderDialog dialog(dekoder::alleDekoder(fehler), uart(), {{"uart:rx=10", {"uart"}}});
    QVERIFY(dialog.wähle("uart"));
    auto* rx = dialog.findChild<QComboBox*>("Kanal(rx)");
    QVERIFY(rx);
    rx->setCurrentText("10 /Ack");
    dialog.findChild<QLineEdit*>("Option(baudrate)")->setText("9600");
    QCOMPARE(dialog.angabe(), std::string("uart:rx=10:baudrate=9600"));
    // Stacked, it reads the decoder below.
    QVERIFY(dialog.wähle("midi"));
    QCOMPARE(dialog.ziel(), 0);
    QCOMPARE(dialog.angabe(), std::string("midi"));
}

QTEST_MAIN(TestDekoderbereich)
#include "tst_dekoderbereich.moc"
