#include "link/block_reads.h"

#include <cstdio>

#include "link/trace.h"

namespace ql {

void NoteRepeatedRead(const char* what, int read, int of) {
  if (!LinkTraceOn()) return;
  char note[96];
  std::snprintf(note, sizeof note, "%s, read again (%d of %d)", what, read, of);
  TraceNote(note);
}

std::string DamagedBlockText(const std::string& where) {
  return "the block at " + where + " arrived damaged " + std::to_string(kBlockReadAttempts) +
         " times. Check the cable and try again.";
}

}  // namespace ql
