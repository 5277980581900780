// port_dll_probe: loads io.dll (or, with "inpout", the inpout library) from
// its own folder by name, the way the Windows program does, and moves a few
// packets through it: a write read back, and one function packet. Exit 0
// when everything came back as sent. A check of the DLL builds under Wine.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using PortOutFn = void(WINAPI*)(short, char);
using PortInFn = char(WINAPI*)(short);
using NotPortBitFn = void(WINAPI*)(short, char);
using IsDriverInstalledFn = short(WINAPI*)();
using Out32Fn = void(WINAPI*)(short, short);
using Inp32Fn = short(WINAPI*)(short);

constexpr short kBase = 0x378;

struct Port {
  PortOutFn out = nullptr;
  PortInFn in = nullptr;
  NotPortBitFn notBit = nullptr;
  Out32Fn out32 = nullptr;
  Inp32Fn inp32 = nullptr;

  void Write(short port, unsigned char value) {
    if (out)
      out(port, static_cast<char>(value));
    else
      out32(port, value);
  }
  unsigned char Read(short port) {
    return out ? static_cast<unsigned char>(in(port)) : static_cast<unsigned char>(inp32(port));
  }
  void Strobe() {
    if (notBit)
      notBit(kBase + 2, 0);
    else
      Write(kBase + 2, Read(kBase + 2) ^ 1);
  }
  bool Wait(bool level) {
    for (int i = 0; i < 1000000; ++i)
      if (((Read(kBase + 1) & 0x80) != 0) == level) return true;
    return false;
  }
  bool Send(unsigned char value) {
    if (!Wait(true)) return false;
    Write(kBase, value);
    Strobe();
    Read(kBase + 1);
    return true;
  }
  int Receive() {
    if (!Wait(false)) return -1;
    const int low = (Read(kBase + 1) >> 3) & 0x0F;
    Strobe();
    if (!Wait(false)) return -1;
    const int high = (Read(kBase + 1) << 1) & 0xF0;
    Strobe();
    return high | low;
  }
  bool Packet(unsigned char command, unsigned char p1, unsigned char p2, unsigned char p3, unsigned char p4) {
    const unsigned char bytes[] = {
        0xD5, 0xAA, 0x96, command, p1, p2, p3, p4, static_cast<unsigned char>(0x81 ^ command ^ p1 ^ p2 ^ p3 ^ p4)};
    for (unsigned char b : bytes)
      if (!Send(b)) return false;
    return true;
  }
};

// GetProcAddress hands back a generic pointer; going through void(*)() is
// the sanctioned way to turn it into the real signature.
template <typename Function>
Function Resolve(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

int Fail(const char* what) {
  std::fprintf(stderr, "port_dll_probe: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool inpout = argc > 1 && std::strcmp(argv[1], "inpout") == 0;
  const char* name = inpout ? (sizeof(void*) == 8 ? "inpoutx64.dll" : "inpout32.dll") : "io.dll";
  HMODULE library = LoadLibraryA(name);
  if (!library) return Fail("library not found");
  Port port;
  if (inpout) {
    port.out32 = Resolve<Out32Fn>(library, "Out32");
    port.inp32 = Resolve<Inp32Fn>(library, "Inp32");
    auto open = Resolve<BOOL(WINAPI*)()>(library, "IsInpOutDriverOpen");
    if (!port.out32 || !port.inp32 || !open) return Fail("an inpout entry point is missing");
    if (!open()) return Fail("IsInpOutDriverOpen returned false");
  } else {
    port.out = Resolve<PortOutFn>(library, "PortOut");
    port.in = Resolve<PortInFn>(library, "PortIn");
    port.notBit = Resolve<NotPortBitFn>(library, "NotPortBit");
    auto installed = Resolve<IsDriverInstalledFn>(library, "IsDriverInstalled");
    if (!port.out || !port.in || !port.notBit || !installed) return Fail("an io entry point is missing");
    if (installed() == 0) return Fail("IsDriverInstalled returned 0");
  }
  // Write 0x5A to 0x1000 and read it back with its check byte.
  if (!port.Packet(0, 0x00, 0x10, 1, 0) || !port.Send(0x5A) || !port.Send(0x5A ^ 0x81)) return Fail("write timed out");
  if (!port.Packet(1, 0x00, 0x10, 1, 0)) return Fail("read command timed out");
  const int value = port.Receive();
  const int check = port.Receive();
  if (value != 0x5A || check != (0x5A ^ 0x81)) return Fail("read back wrong");
  if (!port.Packet(6, 2, 0, 0, 0)) return Fail("function timed out");
  FreeLibrary(library);
  std::puts("port_dll_probe: ok");
  return 0;
}
