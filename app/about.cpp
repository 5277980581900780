#include "app/about.h"

namespace ql {

std::string AboutText() {
  return "Quillon Link v2.0\n"
         "For use with the Super Magicom/Wildcard and Super Magic Drive\n"
         "By Morvane Productions\n"
         "\n"
         "Thanks for IO.DLL, the free port I/O library\n"
         "IO.DLL is made by Geek Hideout, www.geekhideout.com";
}

}  // namespace ql
