#pragma once

#include <QIcon>
#include <QString>

namespace rt {

// The runtime's stock pictures by name ("Print!", "Exit!"), drawn at every size a
// button may ask for; a null icon for names it does not know.
[[nodiscard]] QIcon stockPicture(const QString &name);

} // namespace rt
