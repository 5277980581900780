// Classifying every file that enters the program and keeping it in its slot.
#pragma once

#include <string>

#include "core/types.h"

namespace ql {

// Classifies the file, fills its slot and the window's fields and menu items
// through the front end, and returns its kind. Never shows a message.
FileKind LoadImageFile(const std::string& path);

}  // namespace ql
