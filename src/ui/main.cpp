#include <csignal>

#include <QApplication>

#include "ui/kestrel_app.h"

int main(int argc, char** argv) {
    // A write past the file-size limit must come back as a file error that
    // the dialog reports, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    kestrel::CKestrelApp app;
    app.InitInstance();
    return 0;
}
