#pragma once

#include <QImage>
#include <QRectF>

class QPainter;

namespace dw {

// Draws an image scaled into a frame (device pixels) keeping its proportions, centred;
// a null image draws nothing.
void paintPictureInFrame(QPainter &painter, const QRectF &frame, const QImage &image);

// The picture named `name` (see loadPicture) drawn into a frame; what a picture object
// and a column shown as a picture paint.
void paintNamedPicture(QPainter &painter, const QRectF &frame, const QString &name);

} // namespace dw
