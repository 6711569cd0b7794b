#pragma once

#include <string_view>

namespace dw {

// Whether a spreadsheet opening a CSV or tab-separated file would compute a value (UTF-8):
// one that starts with '=', '+', '-', '@', a tab or a carriage return (a formula, or one
// behind a blank a spreadsheet skips) and is not a plain number ("-3", "+2.5", "-1e3"),
// which computes nothing. Such files hold it behind an apostrophe, which spreadsheets
// show as text and never run.
[[nodiscard]] bool spreadsheetWouldCompute(std::string_view value);

} // namespace dw
