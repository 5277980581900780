#include "cli/arguments.h"

#include <CLI/CLI.hpp>

#include "cli/exit_codes.h"

namespace ql::cli {
namespace {

#if defined(_WIN32)
constexpr const char* kPortHelp =
    "lpt1 (default, 0x378) | lpt2 (0x278) | lpt3 (0x3BC) | 0xHHHH (that base), all through io.dll or inpout beside "
    "this program or in the system folder | bridge[:COMn][,baud=N] "
    "(the USB bridge; COMn such as COM3, else the first that answers; N 1000000 (default) or 2000000) | "
    "sim[:OPTIONS] "
#else
constexpr const char* kPortHelp =
    "lpt1 (default) | lpt2 | lpt3 | 0xHHHH (direct I/O at that base) | /dev/parportN | bridge[:DEVICE][,baud=N] "
    "(the USB bridge; DEVICE such as /dev/ttyUSB0, else the first that answers; N 1000000 (default) or 2000000) | "
    "sim[:OPTIONS] "
#endif
    "(the copier emulator; OPTIONS: state=DIR, cart=FILE, hirom=1, rts=0, fault=dead|stall:N|badcheck|slow:MS, "
    "noise=PPM, cartnoise=PPM, seed=N, dramfault=OFFSET:BIT; see docs/emulator.md)";

constexpr const char* kUploadVerifyHelp =
    "read back what each step wrote and compare it with what was sent; stop before the image is started at the "
    "first difference";

}  // namespace

ParseResult ParseArguments(int argc, char** argv) {
  Invocation inv;
  CLI::App app{
      "Quillon Link: move ROM images and saves between this PC and a Super Magicom/Wildcard (SWC) or "
      "Super Magic Drive (SMD) copier on a parallel port.",
      "quillon"};
  app.require_subcommand(1, 1);
  app.fallthrough();
  app.add_option("--device", inv.device, "copier family")->check(CLI::IsMember({"swc", "smd"}));
  app.add_option("--port", inv.port, kPortHelp)->type_name("PORT");
  app.add_option("--trace", inv.traceFile, "write every byte moved on the wire to FILE")->type_name("FILE");
  app.add_flag("--quiet", inv.quiet, "no progress line");
  app.add_flag("--progress", inv.progress, "draw the progress line even when stderr is not a terminal");

  auto* info = app.add_subcommand("info", "load the files as one drop and print what the window shows");
  info->add_flag("--json", inv.json, "one JSON object instead of lines");
  info->add_option("FILE", inv.files)->required();

  auto* run = app.add_subcommand("run", "load the files, then Upload and Run (F5; Shift+F5 with --realtime)");
  run->add_flag("--realtime", inv.realTime, "real-time run");
  run->add_flag("--verify", inv.verify, kUploadVerifyHelp);
  run->add_option("FILE", inv.files)->required();

  auto* upload = app.add_subcommand("upload", "load the files, then one Upload menu command");
  upload->add_flag("--verify", inv.verify, kUploadVerifyHelp);
  upload->add_option("WHAT", inv.what)->required()->check(CLI::IsMember({"rom", "rom-ips", "sram", "rts"}));
  upload->add_option("FILE", inv.files)->required();

  auto* execute = app.add_subcommand(
      "execute", "Execute only; with ROM, the block count and mode byte its upload would set (without ROM both are 0)");
  execute->add_flag("--realtime", inv.realTime, "start in real-time mode");
  execute->add_option("ROM", inv.files)->expected(0, 1);

  auto* play = app.add_subcommand("play", "Play Cartridge");
  auto* cartInfo = app.add_subcommand("cart-info", "Cartridge Info report (SWC)");

  auto* download = app.add_subcommand("download", "download the cartridge ROM, the SRAM or the real-time save");
  download->add_flag("--verify", inv.verify,
                     "read every block until two reads in a row agree (a dirty cartridge contact shows only so)");
  download->add_option("WHAT", inv.what)->required()->check(CLI::IsMember({"rom", "sram", "rts"}));
  download->add_option("OUTFILE", inv.outFile)->required();

  auto* patch = app.add_subcommand("patch", "apply an IPS patch to a ROM file, offline");
  patch->add_option("FILES", inv.files, "ROM PATCH OUT")->required()->expected(3);

  auto* convert = app.add_subcommand("convert", "SMD interleave conversion of a Genesis image, offline");
  convert->add_option("--to", inv.what, "smd | plain")->required()->check(CLI::IsMember({"smd", "plain"}));
  convert->add_option("FILES", inv.files, "IN OUT")->required()->expected(2);

  auto* probe = app.add_subcommand("probe", "check the port and whether a copier answers");
  auto* thorough =
      probe->add_flag("--thorough", inv.thorough,
                      "link test: write and read back patterns through one DRAM page (overwrites it), report errors, "
                      "suspect lines and speed");
  probe->add_flag("--yes", inv.yes, "with --thorough: do not ask before overwriting the copier's memory")
      ->needs(thorough);

  auto* check = app.add_subcommand("check", "dump health report: internal checksum against the header, and CRC32");
  check->add_flag("--json", inv.json, "one JSON object per file and line");
  check->add_option("FILE", inv.files)->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);
    return {std::nullopt, code == 0 ? kExitOk : kExitUsage};
  }

  const std::pair<CLI::App*, Command> commands[] = {
      {info, Command::Info},         {run, Command::Run},     {upload, Command::Upload},
      {execute, Command::Execute},   {play, Command::Play},   {cartInfo, Command::CartInfo},
      {download, Command::Download}, {patch, Command::Patch}, {convert, Command::Convert},
      {probe, Command::Probe},       {check, Command::Check}};
  for (const auto& [sub, command] : commands) {
    if (sub->parsed()) inv.command = command;
  }
  return {inv, kExitOk};
}

}  // namespace ql::cli
