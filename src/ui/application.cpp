#include "ui/application.h"

#include <QApplication>

#include "ui/context_help.h"
#include "ui/dialog_template.h"
#include "ui/main_dialog.h"

namespace kestrel {

int RunApplication() {
    ContextHelp help;
    help.Install();
    QApplication::setWindowIcon(KestrelIcon());
    MainDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace kestrel
