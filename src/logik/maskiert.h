#pragma once

#include <QString>
#include <QStringView>

namespace dravel::app {

// User input as it may appear inside a one-line message: control characters
// (C0, DEL, C1) are written escaped (\n, \r, \t, \x1b, \u0085) and a backslash
// is doubled, so a message stays one line and nothing reaches the terminal
// as a command.
QString maskiert(QStringView text);

}  // namespace dravel::app
