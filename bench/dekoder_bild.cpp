// The analyzer with a capture decoded, for the README: opens a VCD file in
// the window, decodes it, shows a stretch and writes the window as PNG.
//
// With DIALOG.png also "Dekoder hinzufügen…" over it, stacking on the first.
// STAPEL "-" shows the capture without decoders.
//
//   dekoder_bild DATEI.vcd STAPEL BILD.png [ANFANG_MS SPANNE_MS [DIALOG.png]]
//   dekoder_bild uart.vcd uart:rx=10:baudrate=1000 docs/dekoder.png 80 70
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTableView>
#include <cstdio>
#include <string>

#include "fenster/analysator/dekoder_dialog.h"
#include "fenster/analysator/dekoderbereich.h"
#include "fenster/analysator/logikanalysator.h"
#include "fenster/analysator/zeitdiagramm.h"
#include "fenster/anwendung.h"

using namespace dravel;

int main(int argc, char** argv) {
    QApplication anwendung(argc, argv);
    app::richteAnwendungEin();
    if (argc != 4 && argc != 6 && argc != 7) {
        std::fprintf(
            stderr,
            "Aufruf: dekoder_bild DATEI.vcd STAPEL BILD.png [ANFANG_MS SPANNE_MS [DIALOG.png]]\n");
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);  // the user's settings stay as they are
    auto& fenster = *new Logikanalysator;
    fenster.show();
    QString fehler;
    if (!fenster.öffne(QString::fromLocal8Bit(argv[1]), fehler)) {
        std::fprintf(stderr, "%s\n", qPrintable(fehler));
        return 1;
    }
    const bool mitDekoder = std::string(argv[2]) != "-";
    if (mitDekoder) fenster.Dekoder->setzeStapel({argv[2]});
    if (mitDekoder && !fenster.Dekoder->warte()) {
        std::fprintf(stderr, "%s\n", qPrintable(fenster.Dekoder->Meldung->toolTip()));
        return 1;
    }
    Zeitdiagramm& d = *fenster.Diagramm;
    if (argc >= 6) {
        const double null = double(d.aufnahme()->nullpunktNs);
        d.setzeSicht(null + std::stod(argv[4]) * 1e6, std::stod(argv[5]) * 1e6);
    }
    if (mitDekoder) fenster.Dekoder->Tabelle->selectRow(0);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    if (!fenster.grab().save(QString::fromLocal8Bit(argv[3]), "PNG")) return 1;
    std::printf("%zu Annotationen\n", fenster.Dekoder->annotationen()->anzahl());
    if (argc == 7) {
        std::string fehler2;
        DekoderDialog dialog(dekoder::alleDekoder(fehler2), d.aufnahmeGeteilt(),
                             {{QString::fromLocal8Bit(argv[2]), {"uart"}}}, &fenster);
        dialog.show();
        dialog.Suche->setText(QStringLiteral("midi"));
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        if (!dialog.grab().save(QString::fromLocal8Bit(argv[6]), "PNG")) return 1;
    }
    fenster.close();
    return 0;
}
