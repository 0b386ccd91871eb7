#pragma once

#include "ui/context_help.h"

namespace kestrel {

// The application: runs the main dialog and answers F1 with the manual. The
// QApplication must exist before it.
class CKestrelApp {
public:
    CKestrelApp();

    // Runs the main dialog modally until it is closed. Returns false: there
    // is nothing to run after it.
    bool InitInstance();

private:
    ContextHelp help;
};

}  // namespace kestrel
