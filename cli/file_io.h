// Whole-file reads and safe writes for the offline commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::cli {

// False and a message when the file cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes through a temporary file in the same folder that is renamed over
// the path at the end, so a failure never leaves a half-written file.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// True when both paths name one existing file (also through links).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace ql::cli
