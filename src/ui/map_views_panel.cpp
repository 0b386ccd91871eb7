#include "ui/map_views_panel.h"

#include <exception>
#include <new>

#include <QBoxLayout>
#include <QLabel>
#include <QTabBar>
#include <QtConcurrent/QtConcurrentRun>

#include "ui/map_view.h"

namespace kestrel {

namespace {

constexpr const char* kReading = "Reading the map...";
// Pixels between the status line's frame and its text.
constexpr int kStatusMargin = 2;

// Reads (and draws) off the UI thread; a failure becomes the view's message.
template <typename Work>
MapViewsPanel::Drawn Attempt(const std::string& path, Work work) {
    MapViewsPanel::Drawn drawn;
    try {
        work(drawn);
    } catch (const std::bad_alloc&) {
        drawn = {};
        drawn.error = QStringLiteral("Not enough memory to draw the map.");
    } catch (const std::exception& failure) {
        drawn = {};
        drawn.error = QString::fromLocal8Bit(failure.what());
    }
    drawn.path = path;
    return drawn;
}

QString NoMapYet(const std::string& path) {
    return path.empty() ? QStringLiteral("No map file given.") : QString::fromLatin1(kReading);
}

}  // namespace

MapViewsPanel::MapViewsPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    header = new QHBoxLayout;
    tabs = new QTabBar(this);
    tabs->setObjectName(QStringLiteral("mapViewTabs"));
    tabs->addTab(QStringLiteral("S&ource map"));
    tabs->addTab(QStringLiteral("Destination after cop&y"));
    tabs->addTab(QStringLiteral("Side &by side"));
    tabs->setDrawBase(false);
    tabs->setUsesScrollButtons(false);
    header->addWidget(tabs);
    header->addStretch();
    layout->addLayout(header);

    auto* views = new QHBoxLayout;
    sourceView = new MapView(MapView::Drag::Rectangle, this);
    sourceView->setObjectName(QStringLiteral("sourceMapView"));
    destView = new MapView(MapView::Drag::Move, this);
    destView->setObjectName(QStringLiteral("destinationMapView"));
    views->addWidget(sourceView);
    views->addWidget(destView);
    layout->addLayout(views, 1);
    // The status line has a row of its own right under the views, framed as
    // a sunken panel one text line high, so that it shows where it is even
    // while the pointer is off the maps and it is blank.
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("mapStatusLine"));
    status->setTextFormat(Qt::PlainText);
    status->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    status->setMargin(kStatusMargin);
    status->setMinimumHeight(status->fontMetrics().height() +
                             2 * (status->frameWidth() + kStatusMargin));
    layout->addWidget(status);
    footer = new QHBoxLayout;
    footer->addStretch(1);
    layout->addLayout(footer);

    sourceView->SetContent(nullptr, QStringLiteral("No map file given."));
    destView->SetContent(nullptr, QStringLiteral("No map file given."));
    connect(tabs, &QTabBar::currentChanged, this, [this](int index) { Show(Shown(index)); });
    Show(Shown::Source);

    connect(sourceView, &MapView::RectangleChosen, this, [this](QRect cells) {
        emit RectangleChosen(cells.left(), cells.top(), cells.right(), cells.bottom());
    });
    connect(destView, &MapView::OutlineMoved, this, [this](QPoint topLeft) {
        // The outline is the clipped region; the offsets place the whole
        // rectangle, whose first cells may have been clipped away.
        const QRect pasted = destView->Outline();
        const int clippedLeft = pasted.isEmpty() ? 0 : pasted.left() - settings.offX;
        const int clippedTop = pasted.isEmpty() ? 0 : pasted.top() - settings.offY;
        emit OffsetChosen(topLeft.x() - clippedLeft, topLeft.y() - clippedTop);
    });
    for (MapView* view : {sourceView, destView}) {
        connect(view, &MapView::PointerMoved, status, &QLabel::setText);
    }
    connect(&sourceWatcher, &QFutureWatcher<Drawn>::finished, this, &MapViewsPanel::SourceDrawn);
    connect(&destWatcher, &QFutureWatcher<Drawn>::finished, this,
            &MapViewsPanel::DestinationRead);
    connect(&previewWatcher, &QFutureWatcher<Drawn>::finished, this,
            &MapViewsPanel::PreviewDrawn);
}

MapViewsPanel::~MapViewsPanel() {
    keepingCells.waitForFinished();
    sourceWatcher.waitForFinished();
    destWatcher.waitForFinished();
    previewWatcher.waitForFinished();
}

void MapViewsPanel::AddToFooter(QWidget* control) {
    footer->addWidget(control);
}

bool MapViewsPanel::Busy() const {
    return sourceWatcher.isRunning() || destWatcher.isRunning() || previewWatcher.isRunning() ||
           previewAgain;
}

void MapViewsPanel::Show(Shown shown) {
    if (tabs->currentIndex() != int(shown)) {
        tabs->setCurrentIndex(int(shown));
    }
    sourceView->setVisible(shown != Shown::Destination);
    destView->setVisible(shown != Shown::Source);
}

void MapViewsPanel::SetSourceFiles(const std::string& mapPath, const std::string& indexPath,
                                   const std::string& dataPath) {
    if (sourceSet && mapPath == sourceMapPath && indexPath == sourceIndexPath &&
        dataPath == sourceDataPath) {
        return;
    }
    sourceSet = true;
    sourceMapPath = mapPath;
    sourceIndexPath = indexPath;
    sourceDataPath = dataPath;
    sourceMap.reset();
    sourceView->SetContent(nullptr, NoMapYet(mapPath));
    if (mapPath.empty()) {
        StartPreview();
        return;
    }
    // A read still running cannot be stopped; the watcher follows the new
    // one, and a result is taken only for the paths it was read from.
    sourceWatcher.setFuture(QtConcurrent::run([mapPath, indexPath, dataPath] {
        return Attempt(mapPath, [&](Drawn& drawn) {
            drawn.map = LoadMap(mapPath, indexPath, dataPath);
            drawn.content = std::make_shared<MapContent>(drawn.map);
        });
    }));
}

void MapViewsPanel::SetDestinationFile(const std::string& mapPath) {
    if (destSet && mapPath == destMapPath) {
        return;
    }
    destSet = true;
    destMapPath = mapPath;
    destMap.reset();
    StartPreview();
    if (mapPath.empty()) {
        return;
    }
    destWatcher.setFuture(QtConcurrent::run([mapPath] {
        return Attempt(mapPath, [&](Drawn& drawn) { drawn.map = LoadMap(mapPath); });
    }));
}

void MapViewsPanel::SourceDrawn() {
    const Drawn drawn = sourceWatcher.result();
    if (drawn.path != sourceMapPath) {
        return;  // read for a path chosen before
    }
    if (!drawn.map) {
        sourceView->SetContent(nullptr, drawn.error);
        StartPreview();
        return;
    }
    sourceMap = drawn.map;
    sourceView->SetContent(drawn.content);
    // With the overview shown, every cell is painted once more in the
    // background, so that zooming in on the source never waits for painting.
    // The content is held until that is done; a map too large for it keeps
    // painting the cells each view shows.
    keepingCells = QtConcurrent::run([content = drawn.content] {
        try {
            content->Overview().KeepAllCells();
        } catch (const std::bad_alloc&) {
        }
    });
    ShowOutlines();
    StartPreview();
}

void MapViewsPanel::DestinationRead() {
    const Drawn drawn = destWatcher.result();
    if (drawn.path != destMapPath) {
        return;  // read for a path chosen before
    }
    if (!drawn.map) {
        destView->SetContent(nullptr, drawn.error);
        return;
    }
    destMap = drawn.map;
    StartPreview();
}

void MapViewsPanel::StartPreview() {
    preview.reset();
    if (!sourceMap || !destMap) {
        QString waiting = NoMapYet(destMapPath);
        if (!destMapPath.empty() && destMap && !sourceMap) {
            waiting = QStringLiteral("The preview needs the source map.");
        }
        destView->SetContent(nullptr, waiting);
        ShowOutlines();
        return;
    }
    if (previewWatcher.isRunning()) {
        previewAgain = true;
        return;
    }
    destView->SetContent(nullptr, QString::fromLatin1(kReading));
    previewWatcher.setFuture(
        QtConcurrent::run([dest = destMap, source = sourceMap, placement = settings] {
            return Attempt(dest->path, [&](Drawn& drawn) {
                drawn.map = dest;
                drawn.content = std::make_shared<MapContent>(dest, source, placement);
                // Every cell is kept painted before the preview is shown (its
                // repaints as the fields change then go into it), so that
                // zooming in on it never waits; a map too large for that
                // paints the cells each view shows.
                try {
                    drawn.content->Overview().KeepAllCells();
                } catch (const std::bad_alloc&) {
                }
            });
        }));
}

void MapViewsPanel::PreviewDrawn() {
    const Drawn drawn = previewWatcher.result();
    if (std::exchange(previewAgain, false)) {
        StartPreview();
        return;
    }
    // A preview of maps since replaced is dropped: the new maps' own
    // preview follows once both are read.
    if (!sourceMap || !destMap || drawn.path != destMap->path) {
        return;
    }
    if (!drawn.content) {
        destView->SetContent(nullptr, drawn.error);
        return;
    }
    if (drawn.map != destMap || drawn.content->Source() != sourceMap.get()) {
        return;
    }
    preview = drawn.content;
    preview->Update(settings);
    destView->SetContent(preview);
    ShowOutlines();
}

void MapViewsPanel::SetPlacement(const CopySettings& newSettings) {
    settings = newSettings;
    if (preview && preview->Update(settings)) {
        destView->ContentChanged();
    }
    ShowOutlines();
}

void MapViewsPanel::ShowOutlines() {
    sourceView->SetOutline(QRect(QPoint(settings.minX, settings.minY),
                                 QPoint(settings.maxX, settings.maxY)));
    if (preview) {
        const CellRect pasted = preview->PastedRegion();
        destView->SetOutline(QRect(pasted.x, pasted.y, pasted.width, pasted.height));
    } else {
        destView->SetOutline(QRect());
    }
}

}  // namespace kestrel
