// The exit status of every command.
#pragma once

namespace ql::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;       // a message said why
constexpr int kExitUsage = 2;        // bad command line
constexpr int kExitCancelled = 130;  // Ctrl+C

}  // namespace ql::cli
