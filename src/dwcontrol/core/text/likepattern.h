#pragma once

#include <string_view>

namespace dw {

// Whether UTF-8 `value` matches a like pattern as SQLite's like reads it: "%" any run of
// characters, "_" one character, no escape character, ASCII letters without regard to case.
// Unlike SQLite's matcher it takes patterns of any length, in time near linear in the value
// for the patterns people type (a pasted text with a few wildcards).
[[nodiscard]] bool likeMatches(std::string_view value, std::string_view pattern);

} // namespace dw
