#pragma once

#include "db/connection.h"

#include <QString>

#include <functional>
#include <memory>

namespace dw {

// Opens a connection for a connect string; null with `error` filled when it fails.
using ConnectionOpener
    = std::function<std::unique_ptr<Connection>(const QString &connectString, DbError &error)>;

// Puts another database behind every Transaction::connect() (a test's fake driver, say);
// an empty opener restores the real drivers.
void setConnectionOpener(ConnectionOpener opener);

} // namespace dw
