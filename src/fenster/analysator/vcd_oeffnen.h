#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "logik/aufnahme.h"

class QWidget;

namespace dravel {

// What a load in the background gives the window: the recording, or
// nullptr and a German reason (empty when the user cancelled), and what of
// the file is not shown (vcd_laden.h).
using VcdGeladen = std::function<void(std::unique_ptr<analysator::Aufnahme> aufnahme,
                                      const QString& fehler, const QString& hinweis)>;

// Loads a VCD file in a worker thread, so that the window stays responsive
// with a file of gigabytes. A progress dialog ("Lade …", "Abbrechen") over
// `fenster` shows once the load takes longer than half a second. `fertig`
// runs on the window's thread when the load is over, unless `fenster` has
// been closed and destroyed before (that cancels the load and waits for
// the piece in hand). False, and nothing started, while a load for
// `fenster` is still under way.
bool ladeVcdImHintergrund(QWidget* fenster, const QString& pfad, VcdGeladen fertig);
// Whether a load for `fenster` is under way; cancelling one waits for the
// piece in hand, and `fertig` does not run.
bool lädtVcd(const QWidget* fenster);
void brichVcdLadenAb(QWidget* fenster);

}  // namespace dravel
