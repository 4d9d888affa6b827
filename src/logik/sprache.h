#pragma once

namespace dravel::app {

// Qt's own texts in German (standard buttons, the command-line parser's
// usage and errors), whatever the user's locale. Once the application
// object exists; later calls do nothing.
void sprichQtDeutsch();

}  // namespace dravel::app
