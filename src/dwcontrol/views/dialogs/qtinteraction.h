#pragma once

namespace dw {

// Makes Qt's real dialogs the standard interaction. Every control and the application
// object call it, so the program asks through real dialogs from its first window on.
void useQtInteraction();

} // namespace dw
