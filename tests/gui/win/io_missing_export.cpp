// A library named io.dll at copy time with three of the io library's four
// entry points (no IsDriverInstalled): the loader must reject it. The
// functions are never meant to be called; they do nothing.
#include <windows.h>

extern "C" {

void WINAPI PortOut(short, char) {}
char WINAPI PortIn(short) { return 0; }
void WINAPI NotPortBit(short, char) {}

}  // extern "C"
