#pragma once

namespace dravel::app {

// Application-wide set-up shared by the program and the tests: names,
// German standard buttons (qtbase_de), font substitutes, the window icon.
// Call once after the QApplication exists.
void richteAnwendungEin();

}  // namespace dravel::app
