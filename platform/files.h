#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quadrelo::files {

// Files by number: the process-wide table of open files that the conversion reads and writes
// sequentially. Bytes pass unchanged (no text-mode translation). Every failure throws Failure.
// The table belongs to the thread that runs conversions and takes no lock: every line read
// passes through it.
//
// A line ends at a carriage return; a line feed right after it belongs to the line break; any
// other line feed is an ordinary byte of the line; the last line may end at the end of the file.

// The lowest number not in use (1-based).
int FreeFile();
// Opens an existing ordinary file for sequential reading under `number`.
void OpenForInput(int number, const std::filesystem::path& path);
// Output by number is part of the layer's contract (sequential text output, one line at a time);
// the conversion itself rewrites files through ReplacementFile.
// Creates or empties the file and opens it for sequential writing under `number`.
void OpenForOutput(int number, const std::filesystem::path& path);
// Reads the next line into `line` (reusing its capacity), without its line break. Throws
// InputPastEnd at the end of the file.
void LineInput(int number, std::string& line);
// Same, but keeps only the first `keep` bytes of the line and skips the rest, so that a file
// without line breaks costs `keep` bytes, not its size; a line longer than `keep` comes back
// exactly `keep` bytes long.
void LineInput(int number, std::string& line, std::size_t keep);
// Writes `line` followed by CR LF.
void PrintLine(int number, std::string_view line);
// True when no byte is left to read.
bool Eof(int number);
// Closes one number; closing a number that is not open does nothing.
void Close(int number);
// Closes every open file. Never fails.
void Reset() noexcept;
// How many numbers are open (for tests and reports).
int OpenCount() noexcept;

// A file's size and modification time, as noted when it was opened for reading.
struct FileStamp {
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified;
};
// The stamp of the file at `path`; fails with FileNotFound when it cannot be had.
FileStamp StampOf(const std::filesystem::path& path);
// Fails with InputChanged unless `bytesRead` is the size in `atOpen` and the file at `path`
// still has that size and modification time: it was read whole, and nobody cut, grew or
// replaced it meanwhile.
void CheckUnchanged(const std::filesystem::path& path, const FileStamp& atOpen,
                    std::uintmax_t bytesRead);
// The same for the input open under `number`: every byte of it taken by LineInput.
void CheckUnchanged(int number);

}  // namespace quadrelo::files
