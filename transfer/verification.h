// The read-back checks the command line asks for with --verify. The window
// never sets them; both start cleared and stay as set until changed.
#pragma once

#include <atomic>

namespace ql {

// Downloads read every block until two intact reads in a row agree.
inline std::atomic<bool> VerifyDownloads{false};
// Upload steps read back what they wrote and compare it with what was sent.
inline std::atomic<bool> VerifyUploads{false};

}  // namespace ql
