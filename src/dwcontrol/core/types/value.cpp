#include "types/value.h"

#include "types/integerrange.h"

#include <QLocale>

namespace dw {

double Value::toNumber() const
{
    if (const auto *i = std::get_if<qint64>(&m_data))
        return double(*i);
    if (const auto *d = std::get_if<double>(&m_data))
        return *d;
    if (const auto *s = std::get_if<QString>(&m_data)) {
        bool ok = false;
        const double parsed = s->trimmed().toDouble(&ok);
        return ok ? parsed : 0.0;
    }
    return 0.0;
}

qint64 Value::toInteger() const
{
    if (const auto *i = std::get_if<qint64>(&m_data))
        return *i;
    return clampedInteger(toNumber());
}

QString Value::toText() const
{
    if (const auto *i = std::get_if<qint64>(&m_data))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&m_data)) {
        // Whole numbers an integer holds exactly are written without a fraction.
        if (*d < 9.0e15 && *d > -9.0e15 && *d == double(qint64(*d)))
            return QString::number(qint64(*d));
        return QString::number(*d, 'g', QLocale::FloatingPointShortest);
    }
    if (const auto *s = std::get_if<QString>(&m_data))
        return *s;
    return {};
}

} // namespace dw
