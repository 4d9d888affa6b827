#include <QApplication>

#include "app/anwendung.h"
#include "app/kommandozeile.h"
#include "app/module1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (const auto ende = dravel::app::werteKommandozeileAus(QApplication::arguments())) {
        return *ende;
    }
    dravel::app::richteAnwendungEin();

    Module1::Main();
    const int status = QApplication::exec();
    dravel::app::räumeAuf();
    return status;
}
