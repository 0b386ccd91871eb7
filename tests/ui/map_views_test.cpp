#include <filesystem>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include "operations/sample_world.h"
#include "support/temp_dir.h"
#include "ui/main_dialog.h"
#include "ui/map_view.h"
#include "ui/map_views_panel.h"
#include "ui/remembered_fields.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

constexpr int kReadTimeoutMs = 30000;

// The main dialog over a sample world: its first 16 block columns as the
// source, a copy of that map as the destination, both drawn in the views.
class WorldDialog {
public:
    WorldDialog() {
        SampleWorldOptions options;
        options.blockColumns = 16;
        WriteSampleWorld(files.Path(), options);
        std::filesystem::copy_file(files.Path() / "map0.mul", files.Path() / "dest0.mul");
    }

    // The fields take the world's files once the dialog has shown its own.
    void SetFiles() {
        Set(SettingsField::SourceMapPath, files.File("map0.mul"));
        Set(SettingsField::StaticsIndexPath, files.File("staidx0.mul"));
        Set(SettingsField::StaticsDataPath, files.File("statics0.mul"));
        Set(SettingsField::DestMapPath, files.File("dest0.mul"));
    }

    void Set(SettingsField field, const std::string& text) {
        dialog.Edit(field)->setText(QString::fromStdString(text));
    }
    QString Text(SettingsField field) const { return dialog.Edit(field)->text(); }

    // Shows the dialog and waits until both views have their maps.
    bool ShowDrawn() {
        if (!ShowActive(dialog)) {
            return false;
        }
        SetFiles();
        dialog.Views()->Show(MapViewsPanel::Shown::Both);
        return QTest::qWaitFor(
            [this] {
                return !dialog.Views()->Busy() &&
                       dialog.Views()->SourceView()->Content() != nullptr &&
                       dialog.Views()->DestinationView()->Content() != nullptr;
            },
            kReadTimeoutMs);
    }

    TempDir files;
    MainDialog dialog;
};

// The centre of a cell in view.
QPoint At(const MapView& view, int x, int y) {
    return view.PointOf(QPointF(x + 0.5, y + 0.5)).toPoint();
}

void Drag(MapView* view, QPoint from, QPoint to) {
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
}

}  // namespace

class MapViewsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ForgetFields(); }

    void viewsOpenOnTheWholeMap() {
        WorldDialog world;
        QVERIFY(world.ShowDrawn());
        for (MapView* view : {world.dialog.Views()->SourceView(),
                              world.dialog.Views()->DestinationView()}) {
            // The whole 6144 x 4096 map fits, touching two opposite edges.
            const QPointF topLeft = view->PointOf(QPointF(0, 0));
            const QPointF bottomRight = view->PointOf(QPointF(6144, 4096));
            QVERIFY(topLeft.x() >= -0.5 && topLeft.y() >= -0.5);
            QVERIFY(bottomRight.x() <= view->width() + 0.5);
            QVERIFY(bottomRight.y() <= view->height() + 0.5);
            QVERIFY(qAbs(topLeft.x()) < 1 || qAbs(topLeft.y()) < 1);
        }
    }

    void fieldsMoveTheOutlinesAndThePreview() {
        WorldDialog world;
        QVERIFY(world.ShowDrawn());
        MapViewsPanel* views = world.dialog.Views();
        world.Set(SettingsField::MinX, "10");
        world.Set(SettingsField::MinY, "20");
        world.Set(SettingsField::MaxX, "40");
        world.Set(SettingsField::MaxY, "50");
        world.Set(SettingsField::OffX, "100");
        world.Set(SettingsField::OffY, "200");
        world.Set(SettingsField::OffZ, "-7");
        QCOMPARE(views->SourceView()->Outline(), QRect(QPoint(10, 20), QPoint(40, 50)));
        QCOMPARE(views->DestinationView()->Outline(), QRect(100, 200, 31, 31));
        // The preview holds the moved, shifted cells, and the destination's
        // own cells around them.
        const MapContent* source = views->SourceView()->Content();
        const MapContent* dest = views->DestinationView()->Content();
        for (const QPoint cell : {QPoint(10, 20), QPoint(40, 50), QPoint(25, 33)}) {
            const MapCell from = source->CellAt(cell.x(), cell.y());
            const MapCell to = dest->CellAt(cell.x() + 90, cell.y() + 180);
            QCOMPARE(to.tileId, from.tileId);
            QCOMPARE(int(to.altitude), int(std::int8_t(from.altitude - 7)));
        }
        QCOMPARE(dest->CellAt(99, 200), source->CellAt(99, 200));
        QCOMPARE(dest->CellAt(131, 231), source->CellAt(131, 231));

        // A rejected number leaves the views where they were.
        world.Set(SettingsField::OffX, "x");
        QCOMPARE(views->DestinationView()->Outline(), QRect(100, 200, 31, 31));
        // Clipped at the right edge as the copy clips.
        world.Set(SettingsField::OffX, "6130");
        QCOMPARE(views->DestinationView()->Outline(), QRect(6130, 200, 14, 31));
    }

    void dragsSetTheFields() {
        WorldDialog world;
        QVERIFY(world.ShowDrawn());
        MapViewsPanel* views = world.dialog.Views();
        MapView* source = views->SourceView();
        source->ShowArea(QPointF(0, 0), 0.25);
        Drag(source, At(*source, 30, 12), At(*source, 5, 40));
        QCOMPARE(world.Text(SettingsField::MinX), QStringLiteral("5"));
        QCOMPARE(world.Text(SettingsField::MinY), QStringLiteral("12"));
        QCOMPARE(world.Text(SettingsField::MaxX), QStringLiteral("30"));
        QCOMPARE(world.Text(SettingsField::MaxY), QStringLiteral("40"));
        QCOMPARE(source->Outline(), QRect(QPoint(5, 12), QPoint(30, 40)));

        // Dragging the pasted region sets the offsets.
        world.Set(SettingsField::OffX, "50");
        world.Set(SettingsField::OffY, "60");
        MapView* dest = views->DestinationView();
        dest->ShowArea(QPointF(40, 50), 0.5);
        Drag(dest, At(*dest, 52, 61), At(*dest, 80, 70));
        QCOMPARE(world.Text(SettingsField::OffX), QStringLiteral("78"));
        QCOMPARE(world.Text(SettingsField::OffY), QStringLiteral("69"));
        QCOMPARE(dest->Outline(), QRect(78, 69, 26, 29));
    }

    void statusLineTellsTheCellUnderThePointer() {
        WorldDialog world;
        QVERIFY(world.ShowDrawn());
        MapView* source = world.dialog.Views()->SourceView();
        source->ShowArea(QPointF(0, 0), 0.125);
        QTest::mouseMove(source, At(*source, 17, 9));
        const MapCell cell = source->Content()->CellAt(17, 9);
        QCOMPARE(world.dialog.Views()->StatusLine()->text(),
                 QStringLiteral("X 17, Y 9   tile 0x%1   altitude %2")
                     .arg(cell.tileId, 4, 16, QLatin1Char('0'))
                     .arg(int(cell.altitude)));
    }

    // The status line has its own row between the views and the folder
    // buttons, a text line high while blank, and a margin above the dialog's
    // bottom edge.
    void statusLineLiesUnderTheViewsClearOfTheBottomEdge() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        MapViewsPanel* views = dialog.Views();
        views->Show(MapViewsPanel::Shown::Both);
        QApplication::processEvents();
        const auto inDialog = [&](const QWidget* widget) {
            return QRect(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        };
        QLabel* status = views->StatusLine();
        QVERIFY(status->isVisible());
        QVERIFY(status->text().isEmpty());
        const QRect line = inDialog(status);
        QVERIFY(line.height() >= status->fontMetrics().height());
        for (const MapView* view : {views->SourceView(), views->DestinationView()}) {
            QVERIFY(inDialog(view).bottom() < line.top());
        }
        const QList<QPushButton*> folders = views->findChildren<QPushButton*>();
        QCOMPARE(folders.size(), 2);
        for (const QPushButton* folder : folders) {
            QVERIFY2(line.bottom() < inDialog(folder).top(), qPrintable(folder->text()));
        }
        QVERIFY(line.bottom() < dialog.height() - status->fontMetrics().height());
    }

    void wheelZoomsAboutThePointer() {
        WorldDialog world;
        QVERIFY(world.ShowDrawn());
        MapView* source = world.dialog.Views()->SourceView();
        source->ShowArea(QPointF(0, 0), 1);
        const QPoint pointer(120, 80);
        const double before = source->CellsPerPixel();
        QWheelEvent wheel(pointer, source->mapToGlobal(pointer), QPoint(), QPoint(0, 240),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(source, &wheel);
        QVERIFY(source->CellsPerPixel() < before);
        QCOMPARE(source->CellAt(pointer), QPoint(120, 80));
    }

    void aMissingFileIsToldInTheView() {
        WorldDialog world;
        QVERIFY(ShowActive(world.dialog));
        world.SetFiles();
        world.Set(SettingsField::SourceMapPath, world.files.File("absent.mul"));
        QTest::qWait(600);
        QVERIFY(QTest::qWaitFor([&] { return !world.dialog.Views()->Busy(); }, kReadTimeoutMs));
        QVERIFY(world.dialog.Views()->SourceView()->Content() == nullptr);
        QVERIFY(world.dialog.Views()->DestinationView()->Content() == nullptr);
    }
};

int RunMapViewsTests(int argc, char** argv) {
    MapViewsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "map_views_test.moc"
