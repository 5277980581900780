#include "transfer/transfer_feedback.h"

#include <cstdio>
#include <string>

#include "core/front_end.h"
#include "transfer/transfer_files.h"

namespace ql {

void ShowTransferProgress(const char* label, std::uint32_t done, std::uint32_t total) {
  UI().ShowProgress(std::string(label) + " " + std::to_string(done) + "/" + std::to_string(total), done, total);
}

void ClearTransferProgress() { UI().ShowProgress(std::string(), 0, 0); }

std::string HexText(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

void ShowTransferError(const std::string& text, const char* caption) {
  UI().ShowMessage(text, caption, MessageIcon::Stop);
}

bool InputOpened(const InputFile& file, const std::string& path, const char* caption) {
  if (file.IsOpen()) return true;
  ShowTransferError(CannotOpenText(path, file.Error()), caption);
  return false;
}

std::string CannotOpenText(const std::string& path, const std::string& reason) {
  return "Cannot open \"" + path + "\": " + reason + ".\nThe file may have been moved or deleted since it was loaded. " +
         "Load it again.";
}

std::string FileChangedText(const std::string& path) {
  return "Cannot read all of \"" + path + "\".\nThe file may have changed since it was loaded. Load it again.";
}

std::string FileTooLargeText(const std::string& path) {
  return "\"" + path + "\" is larger than the copier can hold.\nThe file may have changed since it was loaded. " +
         "Load it again.";
}

std::string SramFileEmptyText(const std::string& path) {
  return "\"" + path + "\" holds no SRAM data.\nLoad an SRAM file that contains a save.";
}

std::string RealTimeFileShortText(const std::string& path) {
  return "\"" + path + "\" is not a complete real-time save.\nLoad a real-time save file of 262,656 bytes.";
}

std::string OutOfMemoryText(const std::string& path) {
  return "Not enough memory for \"" + path + "\".\nClose other programs and try again.";
}

std::string CannotCreateText(const std::string& path, const std::string& reason) {
  return "Cannot create \"" + path + "\": " + reason + ".\nChoose another folder or file name and download again.";
}

std::string CannotWriteText(const std::string& path, const std::string& reason) {
  return "Cannot write \"" + path + "\": " + reason +
         ".\nThe file is incomplete. Free some space or choose another place and download again.";
}

std::string CartridgeSizeUnreadableText() {
  return "The cartridge size cannot be read reliably.\nCheck the cable and the cartridge, then try again.";
}

}  // namespace ql
