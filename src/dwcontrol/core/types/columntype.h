#pragma once

namespace dw {

// Column types as layouts declare them ("char(255)", "long", "number", "decimal(2)",
// "real", "int", "ulong", "date", "datetime", "time").
enum class ColumnType { Char, Long, ULong, Int, Number, Decimal, Real, Date, DateTime, Time };

} // namespace dw
