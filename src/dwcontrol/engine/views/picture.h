#pragma once

#include <QImage>
#include <QString>

namespace dw {

// Pictures named by layouts and by the database ("Fotos\\Logo_zemparol.JPG"): resolved
// against the program's folder (setPictureRoot; the current directory by default,
// where the program starts next to its database),
// with either separator and without regard to letter case on every path part. A name
// that is empty, missing, unreadable, corrupt, or leaves the Fotos folder (absolute,
// network, "..") gives a null image. Resolved images are cached.
[[nodiscard]] QImage loadPicture(const QString &name);
void setPictureRoot(const QString &folder);
[[nodiscard]] QString pictureRoot();

} // namespace dw
