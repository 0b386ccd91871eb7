#include "ui/application.h"

#include <csignal>

#include <QApplication>

#include "ui/context_help.h"
#include "ui/dialog_template.h"
#include "ui/main_dialog.h"

namespace kestrel {

void IgnoreFileSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

int RunApplication() {
    ContextHelp help;
    help.Install();
    QApplication::setWindowIcon(KestrelIcon());
    MainDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace kestrel
