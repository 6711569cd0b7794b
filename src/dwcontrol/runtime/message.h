#pragma once

#include <QString>

namespace rt {

// The global message object: carries the parameter of the last window opened with one,
// which the opened window reads in its open event.
struct MessageObject
{
    double DoubleParm = 0;
    QString StringParm;
    bool hasDouble = false;
    bool hasString = false;
};

[[nodiscard]] MessageObject &Message();

} // namespace rt
