// The handler that ends the process when an exception escapes. The library's
// own handler prints the exception's demangled type name to a console this GUI
// program does not have, and brings the whole demangler into the executable
// for that; this one only ends the process.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
