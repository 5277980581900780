// The batch load shared by a drop on the window and File > Open: each file
// through LoadImageFile, then the companion search.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"

namespace ql {

// Returns the bit set of the kinds the batch brought. While a job runs the
// slots must stay as the job reads them: the batch is refused with a message
// and loads nothing (result 0). onEachFile, when given, hears the kind of
// each file as it is loaded, before the companion search (the command line
// names the files it does not take).
using BatchFileObserver = std::function<void(const std::string& path, FileKind kind)>;
unsigned LoadFileBatch(const std::vector<std::string>& paths, const BatchFileObserver& onEachFile = {});

// The message of a refused batch (caption "Quillon Link", stop icon).
inline constexpr const char* kBatchRefusedCaption = "Quillon Link";
inline constexpr const char* kBatchRefusedText =
    "A transfer is running. Drop or open the files again when it has finished.";

// The full paths of an Open dialog's result buffer: either one full path, or
// the folder followed by the chosen names, each ending in a NUL, the list
// ending in an empty string. The buffer's end also ends the list.
std::vector<std::string> ExpandOpenSelection(std::string_view buffer);

}  // namespace ql
