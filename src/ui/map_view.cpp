#include "ui/map_view.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kestrel {

namespace {

// Zoomed in, a cell is at most this many pixels wide.
constexpr double kMinCellsPerPixel = 1.0 / 32.0;
// One wheel notch (120 eighths of a degree) zooms by this factor.
constexpr double kZoomPerNotch = 1.25;
constexpr double kWheelNotch = 120.0;
constexpr Argb kBackground = 0xFF303030u;

}  // namespace

MapView::MapView(Drag drag, QWidget* parent) : QWidget(parent), drag(drag) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void MapView::SetContent(std::shared_ptr<const MapContent> newContent, const QString& newMessage) {
    const bool sameSize = content && newContent &&
                          content->Geometry().width == newContent->Geometry().width &&
                          content->Geometry().height == newContent->Geometry().height;
    content = std::move(newContent);
    message = newMessage;
    if (!sameSize) {
        fitted = false;
        ShowWholeMap();
    }
    update();
}

void MapView::SetOutline(QRect cells) {
    if (cells != outline) {
        outline = cells;
        update();
    }
}

void MapView::ShowWholeMap() {
    if (!content || width() <= 0 || height() <= 0) {
        return;
    }
    const MapGeometry geometry = content->Geometry();
    cellsPerPixel = std::max(double(geometry.width) / width(), double(geometry.height) / height());
    originX = (geometry.width - width() * cellsPerPixel) / 2;
    originY = (geometry.height - height() * cellsPerPixel) / 2;
    fitted = true;
    wholeMap = true;
    update();
}

void MapView::ShowArea(QPointF origin, double newCellsPerPixel) {
    originX = origin.x();
    originY = origin.y();
    cellsPerPixel = newCellsPerPixel;
    fitted = true;
    wholeMap = false;
    update();
}

void MapView::ZoomAbout(QPointF at, double newCellsPerPixel) {
    double limit = 1;
    if (content) {
        const MapGeometry geometry = content->Geometry();
        limit = 2 * std::max(double(geometry.width) / std::max(width(), 1),
                             double(geometry.height) / std::max(height(), 1));
    }
    newCellsPerPixel = std::clamp(newCellsPerPixel, kMinCellsPerPixel, std::max(limit, 1.0));
    wholeMap = false;
    const double cellX = originX + at.x() * cellsPerPixel;
    const double cellY = originY + at.y() * cellsPerPixel;
    cellsPerPixel = newCellsPerPixel;
    originX = cellX - at.x() * cellsPerPixel;
    originY = cellY - at.y() * cellsPerPixel;
    update();
}

QPoint MapView::CellAt(QPointF at) const {
    return QPoint(int(std::floor(originX + at.x() * cellsPerPixel)),
                  int(std::floor(originY + at.y() * cellsPerPixel)));
}

QPointF MapView::PointOf(QPointF cell) const {
    return QPointF((cell.x() - originX) / cellsPerPixel, (cell.y() - originY) / cellsPerPixel);
}

QPoint MapView::ClampToMap(QPoint cell) const {
    const MapGeometry geometry = content->Geometry();
    return QPoint(std::clamp(cell.x(), 0, geometry.width - 1),
                  std::clamp(cell.y(), 0, geometry.height - 1));
}

void MapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!content) {
        painter.fillRect(rect(), QColor::fromRgb(kBackground));
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         message);
        return;
    }
    if (frame.size() != size()) {
        frame = QImage(size(), QImage::Format_RGB32);
    }
    content->Overview().Fetch(originX, originY, cellsPerPixel, frame.width(), frame.height(),
                              reinterpret_cast<Argb*>(frame.bits()), frame.bytesPerLine() / 4,
                              kBackground);
    painter.drawImage(0, 0, frame);
    if (!outline.isEmpty()) {
        const QRectF shown(PointOf(outline.topLeft()),
                           PointOf(QPointF(outline.x() + outline.width(),
                                           outline.y() + outline.height())));
        painter.fillRect(shown, QColor(255, 255, 0, 48));
        QPen pen(Qt::black, 1);
        painter.setPen(pen);
        painter.drawRect(shown.adjusted(-1, -1, 0, 0));
        pen.setColor(Qt::yellow);
        pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        painter.drawRect(shown.adjusted(-1, -1, 0, 0));
    }
}

void MapView::resizeEvent(QResizeEvent* event) {
    // Until the user pans or zooms, the view keeps showing the whole map.
    if (!fitted || wholeMap) {
        ShowWholeMap();
    }
    QWidget::resizeEvent(event);
}

void MapView::mousePressEvent(QMouseEvent* event) {
    if (!content) {
        return;
    }
    pressPoint = event->position();
    pressCell = CellAt(pressPoint);
    pressOrigin = QPointF(originX, originY);
    pressOutline = outline.topLeft();
    if (event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && spaceHeld)) {
        action = Action::Pan;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        action = drag == Drag::Rectangle ? Action::Choose : Action::Move;
        mouseMoveEvent(event);
    }
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
    ReportPointer(event->position());
    switch (action) {
        case Action::None:
            break;
        case Action::Pan: {
            const QPointF moved = event->position() - pressPoint;
            originX = pressOrigin.x() - moved.x() * cellsPerPixel;
            originY = pressOrigin.y() - moved.y() * cellsPerPixel;
            wholeMap = false;
            update();
            break;
        }
        case Action::Choose: {
            const QPoint from = ClampToMap(pressCell);
            const QPoint to = ClampToMap(CellAt(event->position()));
            emit RectangleChosen(QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                                       QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y()))));
            break;
        }
        case Action::Move: {
            const QPoint moved = CellAt(event->position()) - pressCell;
            const MapGeometry geometry = content->Geometry();
            const QPoint topLeft(std::clamp(pressOutline.x() + moved.x(), 0, geometry.width - 1),
                                 std::clamp(pressOutline.y() + moved.y(), 0, geometry.height - 1));
            emit OutlineMoved(topLeft);
            break;
        }
    }
}

void MapView::mouseReleaseEvent(QMouseEvent*) {
    if (action == Action::Pan) {
        unsetCursor();
    }
    action = Action::None;
}

void MapView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / kWheelNotch;
    if (notches != 0) {
        ZoomAbout(event->position(), cellsPerPixel * std::pow(kZoomPerNotch, -notches));
        ReportPointer(event->position());
    }
    event->accept();
}

void MapView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld = true;
        setCursor(Qt::OpenHandCursor);
        return;
    }
    QWidget::keyPressEvent(event);
}

void MapView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld = false;
        unsetCursor();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void MapView::leaveEvent(QEvent* event) {
    emit PointerMoved(QString());
    QWidget::leaveEvent(event);
}

void MapView::ReportPointer(QPointF at) {
    if (!content) {
        return;
    }
    const QPoint cell = CellAt(at);
    const MapGeometry geometry = content->Geometry();
    if (cell.x() < 0 || cell.y() < 0 || cell.x() >= geometry.width || cell.y() >= geometry.height) {
        emit PointerMoved(QString());
        return;
    }
    const MapCell shown = content->CellAt(cell.x(), cell.y());
    emit PointerMoved(QStringLiteral("X %1, Y %2   tile 0x%3   altitude %4")
                          .arg(cell.x())
                          .arg(cell.y())
                          .arg(shown.tileId, 4, 16, QLatin1Char('0'))
                          .arg(int(shown.altitude)));
}

}  // namespace kestrel
