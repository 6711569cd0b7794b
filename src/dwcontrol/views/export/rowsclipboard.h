#pragma once

#include <memory>

class QMimeData;

namespace dw {

class CopiedRows;

// Clipboard data offering copied rows as plain text ("text/plain") and as an HTML table
// ("text/html"), both UTF-8. Each is made when a program asks for it, so a copy of a long
// listing costs little time and memory until it is pasted, and no more than the paste
// needs then.
[[nodiscard]] std::unique_ptr<QMimeData> clipboardData(CopiedRows rows);

} // namespace dw
