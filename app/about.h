// The text of Help > About, shared by the window and the command line.
#pragma once

#include <string>

namespace ql {

inline constexpr const char* kAboutCaption = "About";

// The About lines joined by "\n".
std::string AboutText();

}  // namespace ql
