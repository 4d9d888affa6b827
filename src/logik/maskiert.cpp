#include "maskiert.h"

#include "port/masking.h"

namespace dravel::app {

QString maskiert(QStringView text) {
    return QString::fromStdString(port::masked(text.toUtf8().toStdString()));
}

}  // namespace dravel::app
