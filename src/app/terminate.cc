// What runs when the program terminates on an uncaught exception. The
// library's own handler prints the exception's demangled type name, which
// links the whole C++ demangler (about a tenth of the program) into a binary
// that never lets an exception escape on purpose. This one says that it
// happened and aborts, which is all a device's log needs.

#include <unistd.h>

#include <cstdlib>

namespace __gnu_cxx {

// Replaces the library's definition, so its demangling version is not linked.
[[noreturn]] void __verbose_terminate_handler() {
  static const char kMessage[] = "dusk: terminate called (uncaught exception)\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  abort();
}

}  // namespace __gnu_cxx
