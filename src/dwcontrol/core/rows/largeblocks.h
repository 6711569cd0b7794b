#pragma once

namespace dw {

// Blocks of 128 KB and more (the columns of the rows, their orders and ranks) are taken from
// the system each on its own and given back as soon as they are freed. Left to itself, glibc
// raises that bound each time such a block is freed and serves the next ones from its heap,
// which it keeps: a second search, which holds the first one's rows while it reads the new
// ones, then peaked 70 MB higher at 1,000,000 members. Call once, before the first rows.
void giveLargeBlocksBack();

} // namespace dw
