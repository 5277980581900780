// Copied as io.dll: three of the io library's four entry points (no
// IsDriverInstalled), for the loader to reject. Never meant to be called.
#include <windows.h>

extern "C" {

void WINAPI PortOut(short, char) {}
char WINAPI PortIn(short) { return 0; }
void WINAPI NotPortBit(short, char) {}

}  // extern "C"
