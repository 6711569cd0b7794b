#pragma once

#include <QWidget>

#include <functional>

class QHelpEvent;
class QPainter;

namespace dw {

class GridView;

// What the canvas hands back to the control that owns it.
class CanvasHost
{
public:
    virtual ~CanvasHost() = default;
    virtual void canvasMouseEvent(QMouseEvent *event) = 0;
    virtual void canvasWheelEvent(QWheelEvent *event) = 0;
    virtual bool canvasToolTip(QHelpEvent *event) = 0;
    // Paints what lies over the grid while the user works on it (a drop marker).
    virtual void canvasPaintOver(QPainter &painter) = 0;
};

// The area of the control where the grid is painted (everything but the scroll bars).
class GridCanvas final : public QWidget
{
public:
    GridCanvas(const GridView &view, CanvasHost &host, QWidget *parent);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    const GridView &m_view;
    CanvasHost &m_host;
};

// The grip at the left of the horizontal scroll bar (or between the two bars once the
// view is split): dragging it sets where the second pane begins.
class SplitHandle final : public QWidget
{
public:
    // `moved` receives the grip's new left edge in the parent's coordinates.
    SplitHandle(std::function<void(int)> moved, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    std::function<void(int)> m_moved;
    int m_grab = 0;
};

} // namespace dw
