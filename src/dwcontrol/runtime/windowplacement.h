#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace rt {

// Where the user left a window: its size and position when not maximised (pixels, the
// frame left out) and whether it was maximised.
struct Placement
{
    QRect normal;
    bool maximized = false;
};

// As stored: "x,y,width,height", then ",maximized" when it was.
[[nodiscard]] QString placementText(const Placement &placement);
// A stored text read back; nothing for one that is not a placement this program wrote
// (another format, sizes no screen has, too long to be one).
[[nodiscard]] std::optional<Placement> parsePlacement(const QString &text);

// Whether a window at `frame` can be taken by its title bar on the screens whose usable
// areas are `screens`: a good piece of its top edge lies on one of them. A window left on
// a screen that is gone, or pushed above the top, is not placed there again.
[[nodiscard]] bool reachable(const QRect &frame, const QList<QRect> &screens);

// The present arrangement of screens as a settings name: the size and place of each, in
// the order the system lists them ("1920x1080.0.0_1280x1024.1920.0"). A window is
// remembered once per arrangement, so a laptop keeps one place alone and another docked.
[[nodiscard]] QString screenArrangement();

} // namespace rt
