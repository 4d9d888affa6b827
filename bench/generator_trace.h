#pragma once

#include <cstddef>

namespace dravel::bench {

// What the trace of port accesses costs: the generator's engine at time base
// 0 with and without the trace in front of the port (step times and the
// difference per step), then one access in a tight loop with and without
// recording. Prints its figures; needs a QApplication.
void druckeTraceMehraufwand(std::size_t schritte);

}  // namespace dravel::bench
