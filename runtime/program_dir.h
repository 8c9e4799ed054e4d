// The directory that holds the program: where bare file names (panel description, pictures)
// are looked for, and what GetProjectDir reports. Tests may point it elsewhere
// (SetProgramDirectoryForTesting).
#pragma once

#include <string>

namespace runtime_detail {

// Without a trailing separator; empty when it cannot be found.
std::string ProgramDirectory();

} // namespace runtime_detail
