// The ppdev back end's one system call behind a pointer, so that a test can
// play a port whose driver went away or whose cable was pulled.
#pragma once

namespace ql {

using PpdevIoctl = int (*)(int fd, unsigned long request, void* argument);

// The ioctl the ppdev back end calls from now on (nullptr: the system's own).
// Returns the one it replaces. Tests only.
PpdevIoctl SetPpdevIoctl(PpdevIoctl replacement);

}  // namespace ql
