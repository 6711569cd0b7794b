#include "stockpictures.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace rt {
namespace {

enum class Stock { Print, Exit };

// Draws in a 24 x 24 design grid scaled to the requested size, so the picture stays
// sharp on any screen.
void drawStock(QPainter &p, Stock stock, QIcon::Mode mode)
{
    const bool disabled = mode == QIcon::Disabled;
    const QColor ink = disabled ? QColor(150, 150, 150) : QColor(40, 40, 40);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.2));
    if (stock == Stock::Print) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 2.5, 11, 8)); // paper going in
        p.setBrush(disabled ? QColor(200, 200, 200) : QColor(120, 130, 145));
        p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 2, 2); // body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 14.5, 11, 7)); // printed page
        p.drawLine(QPointF(8.5, 17), QPointF(15.5, 17));
        p.drawLine(QPointF(8.5, 19.3), QPointF(13.5, 19.3));
        p.setPen(Qt::NoPen);
        p.setBrush(disabled ? ink : QColor(60, 190, 60));
        p.drawEllipse(QPointF(18.5, 12), 1, 1); // power light
        return;
    }
    // Exit: an open door with an arrow leaving through it.
    p.setBrush(disabled ? QColor(210, 210, 210) : QColor(150, 95, 50));
    p.drawRect(QRectF(3.5, 2.5, 11, 19));
    p.setBrush(Qt::white);
    QPainterPath door;
    door.moveTo(3.5, 2.5);
    door.lineTo(9.5, 4.5);
    door.lineTo(9.5, 23.5);
    door.lineTo(3.5, 21.5);
    door.closeSubpath();
    p.drawPath(door);
    const QColor arrow = disabled ? ink : QColor(200, 30, 30);
    p.setPen(QPen(arrow, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(12, 12), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 8.5), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 15.5), QPointF(21, 12));
}

class StockEngine final : public QIconEngine
{
public:
    explicit StockEngine(Stock stock) : m_stock(stock) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 24.0, rect.height() / 24.0);
        drawStock(*painter, m_stock, mode);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new StockEngine(m_stock); }

private:
    Stock m_stock;
};

} // namespace

QIcon stockPicture(const QString &name)
{
    if (name.compare(QStringLiteral("Print!"), Qt::CaseInsensitive) == 0)
        return QIcon(new StockEngine(Stock::Print));
    if (name.compare(QStringLiteral("Exit!"), Qt::CaseInsensitive) == 0)
        return QIcon(new StockEngine(Stock::Exit));
    return {};
}

} // namespace rt
