#include "ui/kestrel_app.h"

#include <QApplication>

#include "ui/dialog_template.h"
#include "ui/kestrel_dlg.h"

namespace kestrel {

CKestrelApp::CKestrelApp() {
    help.Install();
    QApplication::setWindowIcon(KestrelIcon());
}

bool CKestrelApp::InitInstance() {
    CKestrelDlg dialog;
    dialog.exec();
    return false;
}

}  // namespace kestrel
