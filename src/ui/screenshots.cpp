// Renders the main dialog (over a sample Ilshenar, its map views side by side)
// and the About box, into kestrel-dialog.png and about-dialog.png in the
// directory given.

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include "ui/about_dialog.h"
#include "operations/sample_world.h"
#include "ui/main_dialog.h"
#include "ui/map_view.h"
#include "ui/map_views_panel.h"
#include "ui/remembered_fields.h"

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
    // The user's remembered fields are neither shown nor changed.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QTemporaryDir world;
    kestrel::SampleWorldOptions options;
    options.geometry = {2304, 1600};
    options.mapNumber = 2;
    kestrel::WriteSampleWorld(world.path().toStdString(), options);
    kestrel::MainDialog dialog;
    dialog.resize(1180, 520);
    dialog.show();
    QApplication::processEvents();
    const auto set = [&](kestrel::SettingsField field, const QString& text) {
        dialog.Edit(field)->setText(text);
    };
    set(kestrel::SettingsField::SourceMapPath, world.filePath(QStringLiteral("map2.mul")));
    set(kestrel::SettingsField::StaticsIndexPath, world.filePath(QStringLiteral("staidx2.mul")));
    set(kestrel::SettingsField::StaticsDataPath, world.filePath(QStringLiteral("statics2.mul")));
    set(kestrel::SettingsField::DestMapPath, world.filePath(QStringLiteral("map2.mul")));
    set(kestrel::SettingsField::MinX, QStringLiteral("600"));
    set(kestrel::SettingsField::MinY, QStringLiteral("500"));
    set(kestrel::SettingsField::MaxX, QStringLiteral("1000"));
    set(kestrel::SettingsField::MaxY, QStringLiteral("800"));
    set(kestrel::SettingsField::OffX, QStringLiteral("1500"));
    set(kestrel::SettingsField::OffY, QStringLiteral("1000"));
    dialog.Views()->Show(kestrel::MapViewsPanel::Shown::Both);
    const bool drawn = QTest::qWaitFor(
        [&] {
            return !dialog.Views()->Busy() &&
                   dialog.Views()->DestinationView()->Content() != nullptr;
        },
        60000);
    if (!drawn) {
        std::fprintf(stderr, "kestrel-screenshots: the map views were not drawn\n");
        return 1;
    }
    if (!Save(dialog, directory, "kestrel-dialog.png")) {
        return 1;
    }
    kestrel::AboutDialog about(&dialog);
    return Save(about, directory, "about-dialog.png") ? 0 : 1;
}
