#pragma once

namespace kestrel {

// The program: answers F1 with the manual throughout, gives every window the
// application icon, and runs the main dialog modally until it is closed. The
// QApplication must exist. Returns the exit status, 0.
int RunApplication();

}  // namespace kestrel
