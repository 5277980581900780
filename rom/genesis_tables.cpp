// The Genesis region and publisher tables.
#include "rom/genesis_header.h"

namespace ql {

const std::array<GenesisRegion, 8>& GenesisRegionTable() {
  static constexpr std::array<GenesisRegion, 8> kRows = {{
      {'4', "Brazil"},
      {'8', "Hong Kong"},
      {'A', "Asia"},
      {'B', "Brazil"},
      {'E', "Europe"},
      {'F', "France"},
      {'J', "Japan"},
      {'U', "USA"},
  }};
  return kRows;
}

const std::array<GenesisPublisher, 62>& GenesisPublisherTable() {
  // "T-" codes are stored by their number padded with spaces to four bytes,
  // as the key built from the header has them.
  static constexpr std::array<GenesisPublisher, 62> kRows = {{
      {{'A', 'C', 'L', 'D'}, "Ballistic"},
      {{'A', 'S', 'C', 'I'}, "Asciiware"},
      {{'R', 'S', 'I', ' '}, "Razorsoft"},
      {{'S', 'E', 'G', 'A'}, "SEGA"},
      {{'T', 'R', 'E', 'C'}, "Treco"},
      {{'V', 'R', 'G', 'N'}, "Virgin Games"},
      {{'W', 'S', 'T', 'N'}, "Westone"},
      {{'1', '0', ' ', ' '}, "Takara"},
      {{'1', '1', ' ', ' '}, "Taito or Accolade"},
      {{'1', '2', ' ', ' '}, "Capcom"},
      {{'1', '3', ' ', ' '}, "Data East"},
      {{'1', '4', ' ', ' '}, "Namco or Tengen"},
      {{'1', '5', ' ', ' '}, "Sunsoft"},
      {{'1', '6', ' ', ' '}, "Bandai"},
      {{'1', '7', ' ', ' '}, "Dempa"},
      {{'1', '8', ' ', ' '}, "Technosoft"},
      {{'1', '9', ' ', ' '}, "Technosoft"},
      {{'2', '0', ' ', ' '}, "Asmik"},
      {{'2', '2', ' ', ' '}, "Micronet"},
      {{'2', '3', ' ', ' '}, "Vic Tokai"},
      {{'2', '4', ' ', ' '}, "American Sammy"},
      {{'2', '9', ' ', ' '}, "Kyugo"},
      {{'3', '2', ' ', ' '}, "Wolfteam"},
      {{'3', '3', ' ', ' '}, "Kaneko"},
      {{'3', '5', ' ', ' '}, "Toaplan"},
      {{'3', '6', ' ', ' '}, "Tecmo"},
      {{'4', '0', ' ', ' '}, "Toaplan"},
      {{'4', '2', ' ', ' '}, "UFL Company Limited"},
      {{'4', '3', ' ', ' '}, "Human"},
      {{'4', '5', ' ', ' '}, "Gane Arts"},
      {{'4', '7', ' ', ' '}, "Sage's Creation"},
      {{'4', '8', ' ', ' '}, "Tengen"},
      {{'4', '9', ' ', ' '}, "Renovation or Telenet"},
      {{'5', '0', ' ', ' '}, "Electronic Arts"},
      {{'5', '6', ' ', ' '}, "Razorsoft"},
      {{'5', '8', ' ', ' '}, "Mentrix"},
      {{'6', '0', ' ', ' '}, "Victor Musical Industries"},
      {{'6', '9', ' ', ' '}, "Arena"},
      {{'7', '0', ' ', ' '}, "Virgin"},
      {{'7', '3', ' ', ' '}, "Soft Vision"},
      {{'7', '4', ' ', ' '}, "Palsoft"},
      {{'7', '6', ' ', ' '}, "Koei"},
      {{'7', '9', ' ', ' '}, "U.S. Gold"},
      {{'8', '1', ' ', ' '}, "Acclaim or Flying Edge"},
      {{'8', '3', ' ', ' '}, "Gametek"},
      {{'8', '6', ' ', ' '}, "Absolute"},
      {{'9', '3', ' ', ' '}, "Sony"},
      {{'9', '5', ' ', ' '}, "Konami"},
      {{'9', '7', ' ', ' '}, "Tradewest"},
      {{'1', '0', '0', ' '}, "T*HQ Software"},
      {{'1', '0', '1', ' '}, "Tecmagik"},
      {{'1', '1', '2', ' '}, "Designer Software"},
      {{'1', '1', '3', ' '}, "Psygnosis"},
      {{'1', '1', '9', ' '}, "Accolade"},
      {{'1', '2', '0', ' '}, "Code Masters"},
      {{'1', '2', '5', ' '}, "Interplay"},
      {{'1', '3', '0', ' '}, "Activision"},
      {{'1', '3', '2', ' '}, "Shiny & Playmates"},
      {{'1', '4', '4', ' '}, "Atlus"},
      {{'1', '5', '1', ' '}, "Infogrames"},
      {{'1', '6', '1', ' '}, "Fox Interactive"},
      {{'2', '3', '9', ' '}, "Disney Interactive"},
  }};
  return kRows;
}

}  // namespace ql
