#pragma once

#include <QImage>
#include <QString>

namespace dw {

// Pictures named by layouts and by the database ("Fotos\\Logo_zemparol.JPG"): resolved
// against the program's folder (setPictureRoot; the current directory by default,
// where the program starts next to its database),
// with either separator and without regard to letter case on every path part. A name
// that is empty, missing, unreadable, corrupt, not a regular file, or leaves the Fotos
// folder (absolute, network, "..", a link out, a Fotos folder that is itself a link out
// of the root) gives a null image, as does a picture of more than 100 megapixels. A
// picture larger than `drawnSize` is decoded scaled down to it. Resolved images are cached.
[[nodiscard]] QImage loadPicture(const QString &name, QSize drawnSize = {});
void setPictureRoot(const QString &folder);
[[nodiscard]] QString pictureRoot();

} // namespace dw
