#include "gridcanvas.h"

#include "gridview.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace dw {

GridCanvas::GridCanvas(const GridView &view, CanvasHost &host, QWidget *parent)
    : QWidget(parent)
    , m_view(view)
    , m_host(host)
{
    setMouseTracking(true); // the control raises mousemove on every movement
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

bool GridCanvas::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        if (!m_host.canvasToolTip(static_cast<QHelpEvent *>(event)))
            event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void GridCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_view.paint(painter);
    m_host.canvasPaintOver(painter);
}

void GridCanvas::mousePressEvent(QMouseEvent *event)
{
    m_host.canvasMouseEvent(event);
}
void GridCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    m_host.canvasMouseEvent(event);
}
void GridCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_host.canvasMouseEvent(event);
}
void GridCanvas::mouseMoveEvent(QMouseEvent *event)
{
    m_host.canvasMouseEvent(event);
}
void GridCanvas::wheelEvent(QWheelEvent *event)
{
    m_host.canvasWheelEvent(event);
}

SplitHandle::SplitHandle(std::function<void(int)> moved, QWidget *parent)
    : QWidget(parent)
    , m_moved(std::move(moved))
{
    setCursor(Qt::SplitHCursor);
}

void SplitHandle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SplitHandle::mousePressEvent(QMouseEvent *event)
{
    m_grab = int(event->position().x());
}

void SplitHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint inParent = mapToParent(event->position().toPoint());
    m_moved(inParent.x() - m_grab);
}

} // namespace dw
