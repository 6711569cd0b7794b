#include "views/picturepaint.h"

#include "views/picture.h"

#include <QPainter>

namespace dw {

void paintPictureInFrame(QPainter &painter, const QRectF &frame, const QImage &image)
{
    if (image.isNull() || frame.width() <= 0 || frame.height() <= 0)
        return;
    QSizeF size = image.size();
    size.scale(frame.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(frame.center());
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void paintNamedPicture(QPainter &painter, const QRectF &frame, const QString &name)
{
    paintPictureInFrame(painter, frame, loadPicture(name));
}

} // namespace dw
