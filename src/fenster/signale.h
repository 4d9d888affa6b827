#pragma once

namespace dravel::app {

// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program the way
// "Schließen" does: the signal is handed to the event loop (through a pipe,
// the only safe way out of a signal handler), which closes every window and
// leaves, so that everything done at exit runs and the trace file is
// complete. A signal the program was started with ignored (nohup) stays
// ignored. The exit
// status is then 128 plus the signal's number, as a shell reports a
// program ended by that signal. A second signal of the same kind before the
// end takes its default action and ends the program at once. Call once the
// application object exists; calling again re-arms the signals.
void fangeSignaleAb();

}  // namespace dravel::app
