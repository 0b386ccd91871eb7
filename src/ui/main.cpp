#include <QApplication>

#include "ui/application.h"

int main(int argc, char** argv) {
    kestrel::IgnoreFileSignals();
    QApplication application(argc, argv);
    return kestrel::RunApplication();
}
