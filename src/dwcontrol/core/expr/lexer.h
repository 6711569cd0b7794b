#pragma once

#include "types/value.h"

#include <QString>

#include <optional>
#include <vector>

namespace dw::expr {

struct Token
{
    enum class Type { End, Number, Text, Name, LeftParen, RightParen, Comma, Operator };
    Type type = Type::End;
    QString text; // a name, an operator's spelling, or a text literal already unescaped
    Value number; // Number tokens: an integer when it fits, else a real
    qsizetype position = 0; // 0-based offset in the source, for error messages
};

// Splits an expression into tokens; the last one is End. On a character that starts
// no token, an unterminated text or a malformed number: nothing, and `error` says where.
[[nodiscard]] std::optional<std::vector<Token>> tokenize(const QString &source, QString *error);

// The message of an error at a position of the source.
[[nodiscard]] QString errorAt(qsizetype position, const QString &what);

} // namespace dw::expr
