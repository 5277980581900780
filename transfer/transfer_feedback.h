// What the transfers show: the progress field and their messages, with the
// captions of each operation.
#pragma once

#include <cstdint>
#include <string>

namespace ql {

namespace TransferCaption {
inline constexpr const char* UploadRom = "Upload ROM";
inline constexpr const char* UploadSram = "Upload SRAM";
inline constexpr const char* UploadRealTime = "Upload Real-time Save";
inline constexpr const char* DownloadCartridge = "Download Cartridge ROM";
inline constexpr const char* DownloadSram = "Download SRAM";
inline constexpr const char* DownloadRealTime = "Download Real-time Save";
inline constexpr const char* Execute = "Execute";
}  // namespace TransferCaption

// "<label> <done>/<total>", done and total in kilobits ("ROM 64/512").
void ShowTransferProgress(const char* label, std::uint32_t done, std::uint32_t total);
void ClearTransferProgress();

// "0x" and value in at least digits uppercase hex digits ("0x03").
std::string HexText(unsigned value, int digits);

// A stop-icon message box with the operation's caption.
void ShowTransferError(const std::string& text, const char* caption);

class InputFile;

// True when a step's input file is open; otherwise shows why not with the
// step's caption: the file was moved, deleted or made unreadable after it
// was loaded, and a step must never end without saying so.
bool InputOpened(const InputFile& file, const std::string& path, const char* caption);

// Texts of the transfer failures; each names the file and what to do.
std::string CannotOpenText(const std::string& path, const std::string& reason);
std::string FileChangedText(const std::string& path);
std::string FileTooLargeText(const std::string& path);
std::string SramFileEmptyText(const std::string& path);
std::string RealTimeFileShortText(const std::string& path);
std::string OutOfMemoryText(const std::string& path);
std::string CannotCreateText(const std::string& path, const std::string& reason);
std::string CannotWriteText(const std::string& path, const std::string& reason);
std::string CartridgeSizeUnreadableText();

}  // namespace ql
