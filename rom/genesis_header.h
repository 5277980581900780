// The Genesis internal header (ROM bytes 0x100 to 0x1FF): recognising the
// plain and SMD layouts by its signature, and the texts the window shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/types.h"
#include "rom/image_reader.h"

namespace ql {

constexpr std::size_t kGenesisHeaderSize = 256;
using GenesisHeaderBlock = std::array<std::uint8_t, kGenesisHeaderSize>;

// Offsets inside the 256 header bytes (ROM offset minus 0x100).
namespace GenesisField {
constexpr std::size_t Signature = 0x00;
constexpr std::size_t PublisherKey = 0x13;
constexpr std::size_t DomesticTitle = 0x20;
constexpr std::size_t DomesticTitleLength = 48;
constexpr std::size_t RomStart = 0xA0;
constexpr std::size_t RomEnd = 0xA4;
constexpr std::size_t Region = 0xF0;
constexpr std::size_t RegionLength = 3;
}  // namespace GenesisField

struct GenesisHeaderMatch {
  bool smdLayout = false;  // copier header present and data interleaved
  GenesisHeaderBlock header{};
};

// Plain layout first, then the SMD layout's two half-reads.
std::optional<GenesisHeaderMatch> FindGenesisHeader(ImageReader& image);

// Fills Name, RomSize, Region and Maker; the other texts stay empty.
HeaderTexts DescribeGenesisHeader(const GenesisHeaderBlock& header, std::uint32_t dataSize);

struct GenesisRegion {
  char code;
  const char* name;
};
struct GenesisPublisher {
  char key[4];  // four exact bytes, not NUL-terminated
  const char* name;
};

const std::array<GenesisRegion, 8>& GenesisRegionTable();
const std::array<GenesisPublisher, 62>& GenesisPublisherTable();

}  // namespace ql
