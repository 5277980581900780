// The batch load shared by a drop on the window and File > Open: each file
// through LoadImageFile, then the companion search.
#pragma once

#include <string>
#include <vector>

namespace ql {

// Returns the bit set of the kinds the batch brought.
unsigned LoadFileBatch(const std::vector<std::string>& paths);

}  // namespace ql
