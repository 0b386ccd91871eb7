// Renders the main dialog (copying from one sample Ilshenar into another, its
// map views side by side, the pointer over the source map) and the About box,
// into kestrel-dialog.png and about-dialog.png in the directory given.

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
#include "ui/transplant_panel.h"

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
    // Taken whole: the current directory changes below.
    const QDir directory(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    // The user's remembered fields are neither shown nor changed.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    // Two sample Ilshenars, one to copy from and one to copy into, named by
    // paths relative to the current directory, as a user may type them: the
    // fields then show the same short text at every run.
    QTemporaryDir world;
    QDir::setCurrent(world.path());
    QDir(world.path()).mkpath(QStringLiteral("sample"));
    QDir(world.path()).mkpath(QStringLiteral("shard"));
    kestrel::SampleWorldOptions options;
    options.geometry = {2304, 1600};
    options.mapNumber = 2;
    kestrel::WriteSampleWorld((world.path() + QStringLiteral("/sample")).toStdString(), options);
    options.seed = 7;
    kestrel::WriteSampleWorld((world.path() + QStringLiteral("/shard")).toStdString(), options);
    kestrel::MainDialog dialog;
    dialog.resize(1180, 540);
    dialog.show();
    QApplication::processEvents();
    const auto set = [&](kestrel::SettingsField field, const char* text) {
        dialog.Edit(field)->setText(QString::fromLatin1(text));
    };
    set(kestrel::SettingsField::StaticsIndexPath, "sample/staidx2.mul");
    set(kestrel::SettingsField::StaticsDataPath, "sample/statics2.mul");
    set(kestrel::SettingsField::SourceMapPath, "sample/map2.mul");
    set(kestrel::SettingsField::ItemsPath, "shard/items.wsc");
    set(kestrel::SettingsField::DestMapPath, "shard/map2.mul");
    set(kestrel::SettingsField::MinX, "600");
    set(kestrel::SettingsField::MinY, "500");
    set(kestrel::SettingsField::MaxX, "1000");
    set(kestrel::SettingsField::MaxY, "800");
    set(kestrel::SettingsField::OffX, "1500");
    set(kestrel::SettingsField::OffY, "1000");
    dialog.Transplant()->IndexEdit()->setText(QStringLiteral("shard/staidx2.mul"));
    dialog.Transplant()->DataEdit()->setText(QStringLiteral("shard/statics2.mul"));
    kestrel::MapViewsPanel* views = dialog.Views();
    views->Show(kestrel::MapViewsPanel::Shown::Both);
    const bool drawn = QTest::qWaitFor(
        [&] {
            return !views->Busy() && views->SourceView()->Content() != nullptr &&
                   views->DestinationView()->Content() != nullptr;
        },
        60000);
    if (!drawn) {
        std::fprintf(stderr, "kestrel-screenshots: the map views were not drawn\n");
        return 1;
    }
    // The pointer over a cell of the rectangle, which the status line names.
    kestrel::MapView* source = views->SourceView();
    QTest::mouseMove(source, source->PointOf(QPointF(820.5, 640.5)).toPoint());
    if (!Save(dialog, directory, "kestrel-dialog.png")) {
        return 1;
    }
    kestrel::AboutDialog about(&dialog);
    return Save(about, directory, "about-dialog.png") ? 0 : 1;
}
