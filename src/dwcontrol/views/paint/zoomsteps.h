#pragma once

#include <optional>

class QKeyEvent;
class QWheelEvent;

namespace dw::zoom {

// The steps of every view the user can zoom (the page preview, the grid): one step shows
// a quarter more, or undoes that, between a quarter of the natural size and eight times it.
inline constexpr double kStep = 1.25;
inline constexpr double kSmallest = 0.25;
inline constexpr double kLargest = 8.0;

[[nodiscard]] double clamped(double zoom);

// What Ctrl++ (or Ctrl+=), Ctrl+- and Ctrl+0 (back to 1) make of `current`; nothing for any
// other key, which the view then handles as it would.
[[nodiscard]] std::optional<double> afterKey(const QKeyEvent &event, double current);

// What the wheel turned with Ctrl held makes of `current`: one step per notch, up larger and
// down smaller. Nothing without Ctrl: the wheel then scrolls.
[[nodiscard]] std::optional<double> afterWheel(const QWheelEvent &event, double current);

} // namespace dw::zoom
