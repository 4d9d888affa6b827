#pragma once

#include <QString>
#include <string>

namespace dravel::app {

// Why `name` is refused as the name of a file Dravel writes (empty: it is
// not): a line break or other control character would split a line of the
// GTKWave save file and of every message that names the file.
QString steuerzeichenImNamen(const QString& name);

// The bytes of the file name that option `--option` gave on this program's
// command line, exactly as the user typed them, so that a name that is not
// UTF-8 names the same file and not one with U+FFFD in its place. `wert` is
// the option's value as Qt decoded it; where the command line does not
// hold it (a name from elsewhere) it is encoded the usual way.
std::string dateinameVonBefehlszeile(const QString& option, const QString& wert);

}  // namespace dravel::app
