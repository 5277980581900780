// What the user asked for on the command line, parsed once at start.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ql::cli {

enum class Command { Info, Run, Upload, Execute, Play, CartInfo, Download, Patch, Convert, Probe, Check };

struct Invocation {
  // Global options.
  std::string device = "swc";  // swc | smd
  std::string port = "lpt1";
  std::string traceFile;  // empty: no trace
  bool quiet = false;
  bool progress = false;  // draw the progress line even when stderr is not a terminal

  Command command = Command::Info;
  bool json = false;               // info --json, check --json
  bool realTime = false;           // run/execute --realtime
  bool verify = false;             // run/upload/download --verify
  bool thorough = false;           // probe --thorough
  bool yes = false;                // probe --thorough --yes: no question before overwriting copier memory
  std::string what;                // upload rom|rom-ips|sram|rts, download rom|sram|rts, convert --to smd|plain
  std::vector<std::string> files;  // info/run/upload/check FILE..., execute [ROM], patch ROM PATCH OUT, convert IN OUT
  std::string outFile;             // download OUTFILE
};

struct ParseResult {
  std::optional<Invocation> invocation;  // nullopt: exit with exitCode now
  int exitCode = 0;
};

// Parses argv; usage errors and --help print their text and give the exit code.
ParseResult ParseArguments(int argc, char** argv);

}  // namespace ql::cli
