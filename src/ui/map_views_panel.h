#pragma once

#include <memory>
#include <string>

#include <QFutureWatcher>
#include <QWidget>

#include "operations/copy_settings.h"
#include "ui/map_content.h"

class QBoxLayout;
class QLabel;
class QTabBar;

namespace kestrel {

class MapView;

// The map views beside the dialog's fields: the source map with the copy's
// rectangle outlined, and the destination as the copy will leave it with the
// pasted region outlined, one or both at a time. Maps are read and drawn off
// the UI thread; a view shows what it is waiting for or why it has no map.
class MapViewsPanel : public QWidget {
    Q_OBJECT

public:
    // Which views are shown: the tab bar's tabs.
    enum class Shown { Source = 0, Destination = 1, Both = 2 };

    // What a read off the UI thread brings back: the map and its drawing, or
    // the reason there is none.
    struct Drawn {
        std::shared_ptr<const LoadedMap> map;
        std::shared_ptr<MapContent> content;
        QString error;
        std::string path;  // the map path it was read for
    };

    explicit MapViewsPanel(QWidget* parent = nullptr);
    ~MapViewsPanel() override;

    // The files the views draw; a change reads the changed maps again.
    void SetSourceFiles(const std::string& mapPath, const std::string& indexPath,
                        const std::string& dataPath);
    void SetDestinationFile(const std::string& mapPath);
    // The copy's rectangle and offsets, outlined and previewed.
    void SetPlacement(const CopySettings& settings);

    void Show(Shown shown);
    MapView* SourceView() const { return sourceView; }
    MapView* DestinationView() const { return destView; }
    // The line under the views that tells the cell under the pointer.
    QLabel* StatusLine() const { return status; }
    // Adds a control at the right end of the row below the status line.
    void AddToFooter(QWidget* control);
    // Whether a map is still being read or drawn.
    bool Busy() const;

signals:
    // A drag in the source view chose a rectangle (inclusive cells).
    void RectangleChosen(int minX, int minY, int maxX, int maxY);
    // A drag in the destination view moved the pasted region.
    void OffsetChosen(int offX, int offY);

private:
    void SourceDrawn();
    void DestinationRead();
    void StartPreview();
    void PreviewDrawn();
    void ShowOutlines();

    MapView* sourceView = nullptr;
    MapView* destView = nullptr;
    QTabBar* tabs = nullptr;
    QLabel* status = nullptr;
    QBoxLayout* header = nullptr;
    QBoxLayout* footer = nullptr;

    std::string sourceMapPath, sourceIndexPath, sourceDataPath, destMapPath;
    bool sourceSet = false;
    bool destSet = false;
    CopySettings settings;
    std::shared_ptr<const LoadedMap> sourceMap;
    std::shared_ptr<const LoadedMap> destMap;
    std::shared_ptr<MapContent> preview;
    QFutureWatcher<Drawn> sourceWatcher;
    QFuture<void> keepingCells;
    QFutureWatcher<Drawn> destWatcher;
    QFutureWatcher<Drawn> previewWatcher;
    bool previewAgain = false;
};

}  // namespace kestrel
