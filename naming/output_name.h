#pragma once

#include <string>

namespace quadrelo::naming {

// The workbook path for an input path (UTF-8): the file name's extension, if the last four
// characters of the file name hold a ".", becomes ".xls" (the cut is at the file name's first
// "."); otherwise ".xls" is appended. Folders are never changed.
std::string DeriveWorkbookPath(const std::string& sFileIn);

// True when both paths name the same file: the same file on disk, or equal ignoring case where
// the file system ignores case.
bool SameFile(const std::string& a, const std::string& b);

// DeriveWorkbookPath, with a "1" put before the extension when the result would name the input.
std::string WorkbookPathFor(const std::string& sFileIn);

// Whether names that differ only in letter case name one file. The forms above assume what the
// platform's usual file system does: ignored on Windows and macOS, significant elsewhere. Only
// names of files that do not exist need it; existing files are compared on disk.
enum class LetterCase { Significant, Ignored };
LetterCase PlatformLetterCase();
bool SameFile(const std::string& a, const std::string& b, LetterCase letterCase);
std::string WorkbookPathFor(const std::string& sFileIn, LetterCase letterCase);

}  // namespace quadrelo::naming
