#include "naming/output_name.h"

#include <filesystem>
#include <system_error>

#include "platform/text.h"

namespace quadrelo::naming {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWorkbookExtension = ".xls";

// Where the file name starts: after the last folder separator of either kind, so that a
// Windows path given on any platform splits the same way.
std::size_t FileNameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offset where the last `count` characters (UTF-8 code points) of `text` begin.
std::size_t StartOfLastCharacters(std::string_view text, int count) {
  std::size_t position = text.size();
  while (position > 0 && count > 0) {
    --position;
    if (!IsUtf8Continuation(text[position])) --count;
  }
  return position;
}

// A hidden file's leading dots belong to its name, not to an extension.
std::size_t StemSearchStart(std::string_view name) {
  std::size_t start = 0;
  while (start < name.size() && name[start] == '.') ++start;
  return start;
}

// Folds the letters that differ by case in Latin script (ASCII and Latin-1 accented letters,
// such as "Ñ" and "ñ"); other bytes pass unchanged.
std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (static_cast<unsigned char>(folded[i]) == 0xC3 && i + 1 < folded.size()) {
      // U+00C0..U+00DE (except U+00D7, the multiplication sign) are capitals of U+00E0..U+00FE.
      const auto next = static_cast<unsigned char>(folded[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97)
        folded[i + 1] = static_cast<char>(next + 0x20);
      ++i;
    } else {
      folded[i] = LowerAscii(folded[i]);
    }
  }
  return folded;
}

// Absolute and without "." and ".." steps, so that spellings of one path compare equal.
fs::path Normalised(const std::string& utf8) {
  std::error_code error;
  fs::path path = fs::absolute(PathFromUtf8(utf8), error);
  if (error) path = PathFromUtf8(utf8);
  return path.lexically_normal();
}

// `path` with "1" put before the file name's extension ("remesa.xls" -> "remesa1.xls").
std::string WithDigitBeforeExtension(const std::string& path) {
  const std::size_t nameStart = FileNameStart(path);
  const std::string_view name = std::string_view(path).substr(nameStart);
  const std::size_t searchFrom = StemSearchStart(name);
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < searchFrom) return path + "1";
  dot += nameStart;
  return path.substr(0, dot) + "1" + path.substr(dot);
}

}  // namespace

std::string DeriveWorkbookPath(const std::string& sFileIn) {
  const std::size_t nameStart = FileNameStart(sFileIn);
  const std::string_view name = std::string_view(sFileIn).substr(nameStart);
  const std::string_view lastFour = name.substr(StartOfLastCharacters(name, 4));
  const std::size_t searchFrom = StemSearchStart(name);
  const std::size_t dot = name.find('.', searchFrom);
  if (lastFour.find('.') == std::string_view::npos || dot == std::string_view::npos) {
    return sFileIn + std::string(kWorkbookExtension);
  }
  return sFileIn.substr(0, nameStart + dot) + std::string(kWorkbookExtension);
}

LetterCase PlatformLetterCase() {
#if defined(_WIN32) || defined(__APPLE__)
  return LetterCase::Ignored;
#else
  return LetterCase::Significant;
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
  return SameFile(a, b, PlatformLetterCase());
}

bool SameFile(const std::string& a, const std::string& b, LetterCase letterCase) {
  if (a == b) return true;
  const fs::path pathA = Normalised(a);
  const fs::path pathB = Normalised(b);
  std::error_code error;
  const bool existsA = fs::exists(pathA, error);
  const bool existsB = fs::exists(pathB, error);
  if (existsA && existsB) {
    const bool same = fs::equivalent(pathA, pathB, error);
    if (!error) return same;
  } else if (existsA != existsB) {
    // One file on disk and no file under the other name: not even a case-blind file system
    // would let them be one.
    return false;
  }
  if (pathA == pathB) return true;
  return letterCase == LetterCase::Ignored &&
         FoldCase(PathToUtf8(pathA)) == FoldCase(PathToUtf8(pathB));
}

std::string WorkbookPathFor(const std::string& sFileIn) {
  return WorkbookPathFor(sFileIn, PlatformLetterCase());
}

std::string WorkbookPathFor(const std::string& sFileIn, LetterCase letterCase) {
  std::string sLibro = DeriveWorkbookPath(sFileIn);
  // A hard link or symbolic link could make even the "1" name the input; add more digits then.
  for (int attempt = 0; attempt < 8 && SameFile(sLibro, sFileIn, letterCase); ++attempt) {
    sLibro = WithDigitBeforeExtension(sLibro);
  }
  return sLibro;
}

}  // namespace quadrelo::naming
