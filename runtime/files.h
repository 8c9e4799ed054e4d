// File, text and path service: file dialogs, array files, formatting, paths.
//
// Results: 0 (or the value named) on success; a negative FileError on failure.
#pragma once

#include <cstddef>

enum FileError : int {
    kFileErrOpen = -1,     // the file cannot be opened (missing, no permission, bad directory)
    kFileErrIo = -2,       // reading or writing failed part-way (disk full, I/O error)
    kFileErrFormat = -3,   // fewer values than asked for, or a text that is not a number
    kFileErrArgument = -4, // an argument outside what the service supports
    kFileErrTooLong = -5,  // a path or text does not fit the caller's buffer
    kFileErrDialog = -6,   // the file dialog could not be shown
};

// A short text for a FileError ("Cannot open file"); "File error" for any other negative value.
const char* FileErrorText(int code);

// Longest path (terminator included) that the path calls produce.
constexpr std::size_t kPathMax = 4096;

// Longest text FileToArray takes as one number; a longer run of non-space characters is not a
// number, and reading stops there instead of pulling in the rest of a large file.
constexpr std::size_t kMaxNumberText = 4096;

// File dialog. restrictDirectory 1 keeps the operator in defaultDirectory; restrictExtension 1
// accepts only names matching filter (a proposed name without it gets the extension); allowCancel
// and allowMakeDirectory as named. buttonLabel 0 "OK", 1 "Save", 2 "Select", 3 "Load".
// Returns 0 when cancelled (path untouched), 1 when an existing file was chosen, 2 for a new name,
// or a negative FileError (kFileErrTooLong when the chosen path does not fit pathSize bytes; path
// is then untouched). Tests answer it through the seam in testing.h.
int FileSelectPopup(const char* defaultDirectory, const char* defaultFileName, const char* filter,
                    const char* title, int buttonLabel, int restrictDirectory,
                    int restrictExtension, int allowCancel, int allowMakeDirectory, char* path,
                    std::size_t pathSize);

// Writes count elements of array (DataType of panel.h: 0 char, 4 double, 6 unsigned 16-bit,
// 7 unsigned 32-bit) to file. fileType 1 decimal text: one group laid out as a column gives one
// number per line; separator 0 pads each number to fieldWidth (right-aligned), separator 2 writes
// it bare; every line ends in "\n". fileType 0 raw bytes: the elements' bytes as they are (for
// char: the characters, no terminator, no line end). action 0 replaces the file: the content is
// written completely beside it and then renamed over it, so a write that fails half-way leaves
// the old file whole; 1 appends.
// Only one group (numberOfGroups 1) is supported.
int ArrayToFile(const char* file, const void* array, int dataType, int count, int numberOfGroups,
                int dataOrder, int layout, int separator, int fieldWidth, int fileType, int action);

// Reads count elements into array. fileType 1: decimal numbers separated by any white space (an
// unsigned 32-bit value each for type 7; a sign or a value out of range is not a number).
// fileType 0 reads raw bytes. Only the front of the file that the values need is read; what
// follows is not looked at. A text longer than kMaxNumberText is not a number. Returns 0 when count
// values were read; kFileErrFormat when the file holds fewer or something that is not a number;
// kFileErrOpen when it cannot be opened; kFileErrIo when reading fails (a directory, an I/O error).
// The array is untouched on failure.
int FileToArray(const char* file, void* array, int dataType, int count, int numberOfGroups,
                int dataOrder, int layout, int fileType);

// Deletes a file. A missing file returns kFileErrOpen and harms nothing.
int RemoveFile(const char* path);

// Renames oldPath to newPath, replacing newPath in one step when both lie in the same directory.
int RenameFile(const char* oldPath, const char* newPath);

// Formats source into target (targetSize bytes). The one format supported is "%64c<%32i": the
// low byte of each of 32 integers as one character, at most 64 characters, ended by the first
// zero character. Returns the number of characters written (terminator excluded) or a negative
// FileError.
int Fmt(char* target, std::size_t targetSize, const char* format, const int* source);

// Length of a zero-terminated text.
int StringLength(const char* text);

// The directory that holds the program, without a trailing separator.
int GetProjectDir(char* directory, std::size_t size);

// The folder for the files the operator writes: `preferred` when a file can be created there,
// else the documents folder that the desktop names (XDG_DOCUMENTS_DIR in the user's
// user-dirs.dirs, else ~/Documents), created when missing. kFileErrTooLong when it does not fit
// size bytes (directory untouched).
int GetOperatorDir(const char* preferred, char* directory, std::size_t size);

// directory + "/" + fileName into path; kFileErrTooLong when it does not fit (path untouched).
int MakePathname(const char* directory, const char* fileName, char* path, std::size_t size);
