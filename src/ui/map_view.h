#pragma once

#include <memory>

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>

#include "ui/map_content.h"

namespace kestrel {

// One map drawn in a widget that pans and zooms over it, with a rectangle of
// cells outlined on it. A left drag chooses: in a Rectangle view a new
// rectangle from the pressed cell to the one under the pointer, in a Move view
// the outlined rectangle moved by the cells the pointer moved. The wheel zooms
// about the pointer; a middle drag, or a left drag with Space held, pans.
class MapView : public QWidget {
    Q_OBJECT

public:
    enum class Drag { Rectangle, Move };

    MapView(Drag drag, QWidget* parent = nullptr);

    // The map to draw (shared with whoever updates it), or null for none; the
    // view then shows message. A new map opens whole in the view.
    void SetContent(std::shared_ptr<const MapContent> content, const QString& message = {});
    const MapContent* Content() const { return content.get(); }
    // Draws the content again after it changed in place.
    void ContentChanged() { update(); }

    // The outlined cells, empty for none.
    void SetOutline(QRect cells);
    QRect Outline() const { return outline; }

    // Shows the whole map, centred.
    void ShowWholeMap();
    // Shows the map from cell origin (at the view's top left corner) at
    // cellsPerPixel.
    void ShowArea(QPointF origin, double newCellsPerPixel);
    double CellsPerPixel() const { return cellsPerPixel; }
    // The zoom: cells per pixel about the view's point at, which keeps
    // showing the same cell.
    void ZoomAbout(QPointF at, double newCellsPerPixel);
    // The cell shown at a point of the view (may lie off the map).
    QPoint CellAt(QPointF at) const;
    // The view's point at the top left corner of a cell.
    QPointF PointOf(QPointF cell) const;

signals:
    // Rectangle view: the rectangle a drag chose, inside the map.
    void RectangleChosen(QRect cells);
    // Move view: where a drag moved the outline's top left cell.
    void OutlineMoved(QPoint topLeft);
    // The cell under the pointer, its tile and altitude; empty off the map.
    void PointerMoved(const QString& status);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Action { None, Pan, Choose, Move };

    QPoint ClampToMap(QPoint cell) const;
    void ReportPointer(QPointF at);

    Drag drag;
    std::shared_ptr<const MapContent> content;
    QString message;
    QRect outline;
    QImage frame;
    double originX = 0;  // the cell at the view's top left corner
    double originY = 0;
    double cellsPerPixel = 1;
    bool fitted = false;
    bool wholeMap = false;  // shows the whole map, as it opened
    bool spaceHeld = false;
    Action action = Action::None;
    QPointF pressPoint;
    QPoint pressCell;
    QPointF pressOrigin;
    QPoint pressOutline;
};

}  // namespace kestrel
