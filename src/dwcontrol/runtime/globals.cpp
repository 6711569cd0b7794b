#include "globals.h"

#include "db/transaction.h"
#include "message.h"

#include <memory>
#include <optional>

namespace rt {
namespace {

struct Globals
{
    std::optional<MessageObject> message;
    std::unique_ptr<dw::Transaction> sqlca;
};

Globals &globals()
{
    static Globals instance;
    return instance;
}

} // namespace

namespace detail {
MessageObject &messageObject()
{
    // Windows opened outside an application's life (tests) still get a message object.
    auto &message = globals().message;
    if (!message)
        message.emplace();
    return *message;
}
} // namespace detail

// SQLDA, SQLSA and Error are standard globals the program never uses, so they have no
// representation here; only their place in the order is kept in mind.
void CreateGlobals()
{
    Globals &g = globals();
    g.message.emplace();
    g.sqlca = std::make_unique<dw::Transaction>();
}

void DestroyGlobals()
{
    Globals &g = globals();
    g.sqlca.reset(); // ends the connection
    g.message.reset();
}

dw::Transaction *SQLCA()
{
    return globals().sqlca.get();
}

} // namespace rt
