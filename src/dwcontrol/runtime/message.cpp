#include "message.h"

#include "globals.h"

namespace rt {
namespace detail {
// The message object lives with the other globals (globals.cpp).
MessageObject &messageObject();
} // namespace detail

MessageObject &Message()
{
    return detail::messageObject();
}

} // namespace rt
