// `check [--json] FILE...`: the dump health report. For each ROM image, its
// internal checksum computed and as its header declares it, and the CRC32
// of its image data in plain order without a copier header (the CRC that
// ROM databases list).
#pragma once

#include <string>

#include "cli/arguments.h"
#include "cli/cli_front_end.h"

namespace ql::cli {

enum class DumpReportFormat { Text, Json };

// Prints the report of one file. True when it is a ROM image whose
// checksum agrees with its header.
bool PrintDumpReport(const std::string& path, DumpReportFormat format, CliFrontEnd& ui);

// The report of a file just dumped from a cartridge, with advice when it
// looks damaged. True when the checksum agrees.
bool ReportDownloadedDump(const std::string& path, CliFrontEnd& ui);

int RunCheck(const Invocation& inv, CliFrontEnd& ui);

}  // namespace ql::cli
