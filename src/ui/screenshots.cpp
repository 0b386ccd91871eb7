// Renders the main dialog and the About box as they open, into
// kestrel-dialog.png and about-dialog.png in the directory given.

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "ui/about_dialog.h"
#include "ui/main_dialog.h"

namespace {

bool Save(QWidget& widget, const QDir& directory, const char* name) {
    widget.show();
    QApplication::processEvents();
    const QString path = directory.filePath(QString::fromLatin1(name));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "kestrel-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel-screenshots DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    kestrel::MainDialog dialog;
    if (!Save(dialog, directory, "kestrel-dialog.png")) {
        return 1;
    }
    kestrel::AboutDialog about(&dialog);
    return Save(about, directory, "about-dialog.png") ? 0 : 1;
}
