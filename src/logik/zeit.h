#pragma once

#include <QString>
#include <QTime>

namespace dravel {

// The local time of day as the user's locale writes it in long form, with
// hours, minutes and seconds but without a time zone (14:03:22 in German).
QString zeitText(const QTime& zeit = QTime::currentTime());

}  // namespace dravel
