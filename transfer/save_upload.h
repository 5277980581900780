// SRAM and real-time save uploads.
#pragma once

namespace ql {

bool UploadSram();
bool UploadRealTimeSave();

}  // namespace ql
