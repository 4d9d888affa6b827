#pragma once

#include <QString>
#include <QStringView>

namespace dravel::app {

// User input as it may appear inside a one-line message, by port::masked's
// rule (control characters escaped, a backslash doubled).
QString maskiert(QStringView text);

}  // namespace dravel::app
