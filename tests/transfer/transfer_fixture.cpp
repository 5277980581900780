#include "tests/transfer/transfer_fixture.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "link/trace.h"

namespace ql::testing {

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random() >> 24);
  return bytes;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> CopierHeaderOf(std::uint16_t blocks, std::uint8_t mode, std::uint8_t type) {
  std::vector<std::uint8_t> header(512, 0);
  header[0] = static_cast<std::uint8_t>(blocks);
  header[1] = static_cast<std::uint8_t>(blocks >> 8);
  header[2] = mode;
  header[8] = 0xAA;
  header[9] = 0xBB;
  header[10] = type;
  return header;
}

std::vector<std::uint8_t> WithHeader(std::vector<std::uint8_t> header, const std::vector<std::uint8_t>& data) {
  header.insert(header.end(), data.begin(), data.end());
  return header;
}

std::vector<std::uint8_t> Interleaved(const std::vector<std::uint8_t>& plain) {
  std::vector<std::uint8_t> smd(plain.size());
  for (std::size_t block = 0; block + 16384 <= plain.size(); block += 16384) {
    for (std::size_t k = 0; k < 8192; ++k) {
      smd[block + k] = plain[block + 2 * k + 1];
      smd[block + 8192 + k] = plain[block + 2 * k];
    }
  }
  return smd;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-transfer-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root_, ignored);
}

void CancellingWindow::ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) {
  WindowModel::ShowProgress(text, done, total);
  if (text == trigger_) CancelRequested = true;
}

TraceCapture::TraceCapture() : file_(std::tmpfile()) { SetLinkTrace(file_); }

TraceCapture::~TraceCapture() {
  SetLinkTrace(nullptr);
  std::fclose(file_);
}

std::vector<std::string> TraceCapture::Lines() {
  FlushLinkTrace();
  std::fflush(file_);
  std::rewind(file_);
  std::vector<std::string> lines;
  std::string line;
  for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  std::fseek(file_, 0, SEEK_END);
  return lines;
}

std::unique_ptr<SimLink> OpenSimLink(const emu::Options& options) {
  auto link = std::make_unique<SimLink>(options);
  SelectedDevice = options.device == emu::Device::Smd ? kDeviceSmd : kDeviceSwc;
  if (!EnsureLinkReady()) throw std::runtime_error("the emulated link did not bind");
  link->window().ClearRecords();
  return link;
}

std::vector<std::string> ProgressTexts(const WindowModel& window) {
  std::vector<std::string> texts;
  for (const auto& p : window.ProgressHistory()) texts.push_back(p.text);
  return texts;
}

}  // namespace ql::testing
