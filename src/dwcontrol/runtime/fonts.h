#pragma once

namespace rt {

// Makes the fonts the layouts name (Arial, Tahoma, Marlett) available: where the system
// has no font of that name but ships a metric twin outside the font search path, the
// twin is registered with the application. Safe to call more than once.
void registerLayoutFonts();

} // namespace rt
