#pragma once

namespace dw {
class Transaction;
}

namespace rt {

// The program's global objects, owned by the application object: create() makes them
// (Message, SQLCA, SQLDA, SQLSA, Error), destroy() ends them (SQLCA first, which ends
// the connection).
void CreateGlobals();
void DestroyGlobals();
// The default transaction, or null outside the application's life.
[[nodiscard]] dw::Transaction *SQLCA();

} // namespace rt
