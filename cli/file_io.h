// Whole-file reads and safe writes for the offline commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::cli {

// False and a message when the file cannot be read. Only a regular file is
// read: a FIFO, a device or a folder is refused at once, without waiting.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes through a temporary file in the same folder that is renamed over
// the file at the end, so a failure never leaves a half-written file. A
// symbolic link is written through: its target is replaced and the link
// kept. A device, FIFO or folder is refused. A file that exists keeps its
// permission bits.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// True when both paths name one file: the same existing file (by device and
// inode, so "x", "./x" and a link to x match), or the same text.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace ql::cli
