#include <csignal>

#include <QApplication>

#include "ui/application.h"

int main(int argc, char** argv) {
    // A write past the file-size limit must come back as a file error that
    // the dialog reports, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    return kestrel::RunApplication();
}
