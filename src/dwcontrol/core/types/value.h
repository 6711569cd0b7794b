#pragma once

#include <QString>

#include <cstdint>
#include <variant>

namespace dw {

// One cell or expression value: null, a number (integer or real) or a text.
// Null is distinct from the empty text everywhere in the engine.
class Value
{
public:
    Value() = default;
    Value(qint64 number) : m_data(number) {}
    Value(int number) : m_data(qint64(number)) {}
    Value(double number) : m_data(number) {}
    Value(bool flag) : m_data(qint64(flag ? 1 : 0)) {}
    Value(const QString &text) : m_data(text.isNull() ? Data{} : Data{text}) {}

    [[nodiscard]] bool isNull() const { return std::holds_alternative<std::monostate>(m_data); }
    [[nodiscard]] bool isInteger() const { return std::holds_alternative<qint64>(m_data); }
    [[nodiscard]] bool isReal() const { return std::holds_alternative<double>(m_data); }
    [[nodiscard]] bool isNumber() const { return isInteger() || isReal(); }
    [[nodiscard]] bool isText() const { return std::holds_alternative<QString>(m_data); }

    // Numbers as they are; text parsed as a number (0 when it is not one); null is 0.
    [[nodiscard]] double toNumber() const;
    [[nodiscard]] qint64 toInteger() const;
    // The default conversion to text: integers without decimals, reals in the shortest
    // form that reads back as the same value, text unchanged; null gives a null QString.
    [[nodiscard]] QString toText() const;
    [[nodiscard]] bool toBool() const
    {
        return isNull() ? false : (isText() ? !toText().isEmpty() : toNumber() != 0);
    }

    friend bool operator==(const Value &a, const Value &b) = default;

private:
    using Data = std::variant<std::monostate, qint64, double, QString>;
    Data m_data;
};

} // namespace dw
