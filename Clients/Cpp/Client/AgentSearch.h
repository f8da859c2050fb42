#pragma once

#include <string>

namespace Talmex {
namespace Client {

// The agent a host gets when it names none: the one installed with this
// code (the C library, or the program the C++ library is linked into, when it
// lies in the library or program folder of an install), else talmex-agent in
// an absolute folder of the PATH. False, with every place tried named in
// error, when there is none.
bool FindAgent(std::string& path, std::string& error);

} // namespace Client
} // namespace Talmex
