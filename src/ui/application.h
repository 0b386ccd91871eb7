#pragma once

namespace kestrel {

// Signals that would end the program where a file error is due: a write past
// the file-size limit (SIGXFSZ) and a write into a pipe or socket whose reader
// has gone (SIGPIPE) are ignored, so that the write fails and the dialog
// reports it. Called before the QApplication is made.
void IgnoreFileSignals();

// The program: answers F1 with the manual throughout, gives every window the
// application icon, and runs the main dialog modally until it is closed. The
// QApplication must exist. Returns the exit status, 0.
int RunApplication();

}  // namespace kestrel
