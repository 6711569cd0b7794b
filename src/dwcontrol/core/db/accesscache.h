#pragma once

#include "db/sqliteconnection.h"

#include <QString>

namespace dw {

// The Access import kept between runs: an SQLite file per Access file in the user's cache
// folder, named from a hash of the Access file's full path, readable only by the user, and
// valid for a hash of the file's whole content (never its times, which copies restore). A
// start on an unchanged file opens it instead of reading the Access file again. Only the three most
// recently used are kept.
//
// Returns the open cache of the Access file at `path` (clean, absolute), importing the file
// into a new cache first when there is none, it belongs to another state of the file, or
// it is damaged. When the cache folder cannot take it (not writable, disk full) the import
// goes to a private temporary copy that lasts as long as the handle. Null with `problem` set
// (in Spanish) and `failure` saying whether the Access file or the local copy was at fault.
enum class AccessImportFailure { None, Damaged, LocalCopy };
[[nodiscard]] SqliteHandle openAccessThroughCache(const QString &path, QString &problem,
                                                  AccessImportFailure &failure);

// How many times this process has read an Access file into a cache (tests count them).
[[nodiscard]] int accessImportCount();

// The folder holding the caches.
[[nodiscard]] QString accessCacheDirectory();

} // namespace dw
