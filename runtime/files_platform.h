// Platform part of the file service.
#pragma once

#include <string>

namespace files_detail {

// Deletes a file (never a directory). Returns 0 or the errno value of the failure.
int unlinkFile(const char* path);

// Makes a write beyond the file-size limit fail (EFBIG) instead of ending the program.
void ignoreFileSizeSignal();

// The full path of the running program, empty when the system cannot tell.
std::string programPath();

} // namespace files_detail
