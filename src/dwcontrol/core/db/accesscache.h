#pragma once

#include "db/sqliteconnection.h"

#include <QString>

namespace dw {

// The Access import kept between runs: an SQLite file per Access file in the user's cache
// folder, named from a hash of the Access file's full path, readable only by the user, and
// valid for a hash of the file's whole content (XXH3). A start on an unchanged file opens it
// instead of reading the Access file again: while the file's stamp (device, inode, size,
// modification and change time) and the cache's own stay as recorded beside the cache, without
// even hashing the file; otherwise the hash decides, never the times alone, which copies
// restore. Only the three most recently used are kept.
//
// Returns the open cache of the Access file at `path` (clean, absolute), importing the file
// into a new cache first when there is none, it belongs to another state of the file, or
// it is damaged. When the cache folder cannot take it (not writable, disk full) the import
// goes to a private temporary copy that lasts as long as the handle. Null with `problem` set
// (in Spanish) and `failure` saying whether the Access file or the local copy was at fault.
enum class AccessImportFailure { None, Damaged, LocalCopy };
[[nodiscard]] SqliteHandle openAccessThroughCache(const QString &path, QString &problem,
                                                  AccessImportFailure &failure);

// The key of a file's content: the 64-bit XXH3 hash of every byte (1 for a hash of 0), or 0
// when the file cannot be read to its end.
[[nodiscard]] quint64 accessFileKey(const QString &path);

// How many times this process has read an Access file into a cache (tests count them).
[[nodiscard]] int accessImportCount();

// The folder holding the caches.
[[nodiscard]] QString accessCacheDirectory();

} // namespace dw
