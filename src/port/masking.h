#pragma once

#include <string>
#include <string_view>

namespace dravel::port {

// Text from outside (a typed argument, a path, an environment variable) as it
// may appear inside a one-line message: control characters (C0, DEL, C1) are
// written escaped (\n, \r, \t, \x1b, \u0085) and a backslash is doubled, so a
// message stays one line and nothing reaches the terminal as a command. UTF-8
// in and out; a byte that belongs to no valid UTF-8 character is written
// \xNN too (a lone 0x9B is a terminal command for some terminals).
std::string masked(std::string_view text);

}  // namespace dravel::port
