// The three downloads: cartridge ROM, SRAM, real-time save.
#pragma once

namespace ql {

void DownloadCartridgeRom();
void DownloadSram();
void DownloadRealTimeSave();

}  // namespace ql
