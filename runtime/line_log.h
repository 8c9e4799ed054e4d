// A text file written one line at a time, for a field report: each line is on its way to the
// disk when the call returns, so a crash loses at most the line being written.
#pragma once

// Opens (replacing) the file that the environment variable names. Returns 1 when opened, 0 when
// the variable is not set or empty, or a negative FileError when the file cannot be opened.
int OpenLineLog(const char* environmentVariable);
// Appends text and a line end; nothing when no log is open.
void WriteLineLog(const char* text);
void CloseLineLog();
