#pragma once

#include <QString>

namespace dw {

// What a five-character SQLSTATE means, said in Spanish for the reader of an error box:
// a few codes a reader of the directory meets (no permission, a read-only transaction, a
// statement cancelled, a wrong password) have their own sentence, every other code the
// sentence of its class (its first two characters). Empty for a state of no known class.
[[nodiscard]] QString sqlStateExplanation(const QString &state);

// An error text: `context` (what failed, in Spanish), then what `state` means, then the
// server's or the driver's own `message`.
[[nodiscard]] QString explainedError(const QString &context, const QString &state, const QString &message);

// A statement cancelled because it ran out of time, on the server or by the client.
[[nodiscard]] bool isCancelledState(const QString &state);

} // namespace dw
