#include "conversion/record_layout.h"

#include <cstdint>
#include <cstring>

#include "platform/text.h"
#include "platform/words.h"

namespace quadrelo::conversion {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The amount of the usual field, eight digits, a comma and two digits, read a word at a time;
// nothing for any other text, which the general reader takes.
std::optional<double> ReadPlainAmount(std::string_view text) {
  if (text.size() != 11 || text[8] != ',' || !IsDigit(text[9]) || !IsDigit(text[10])) {
    return std::nullopt;
  }
  std::int64_t units = words::ReadEightDigits(text.data());
  if (units < 0) return std::nullopt;
  std::int64_t hundredths = units * 100 + (text[9] - '0') * 10 + (text[10] - '0');
  return static_cast<double>(hundredths) / 100.0;
}

}  // namespace

std::string_view JoinPieces(std::string_view line, const ColumnField& field, std::string& bytes) {
  // Sized once for the longest outcome and written through a pointer: this runs for two fields
  // of every transfer.
  std::size_t longest = static_cast<std::size_t>(field.pieceCount);
  for (int i = 0; i < field.pieceCount; ++i) {
    longest += static_cast<std::size_t>(field.pieces[static_cast<std::size_t>(i)].length);
  }
  if (bytes.size() < longest) bytes.resize(longest);
  char* out = bytes.data();
  for (int i = 0; i < field.pieceCount; ++i) {
    if (i > 0) *out++ = field.separator;
    std::string_view piece = TakePiece(line, field.pieces[static_cast<std::size_t>(i)]);
    if (field.cleaning == Cleaning::Trimmed) piece = TrimSpaces(piece);
    if (!piece.empty()) std::memcpy(out, piece.data(), piece.size());
    out += piece.size();
  }
  return std::string_view(bytes.data(), static_cast<std::size_t>(out - bytes.data()));
}

std::optional<double> ReadAmount(std::string_view text) {
  if (std::optional<double> plain = ReadPlainAmount(text)) return plain;
  // Far more digits than the field holds, and few enough that hundredths fit exactly.
  constexpr int kMostDigits = 15;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;

  std::int64_t units = 0;
  int digits = 0;
  while (i < n) {
    if (IsDigit(text[i])) {
      units = units * 10 + (text[i] - '0');
      // Leading zeros do not count towards the limit.
      if (units != 0 && ++digits > kMostDigits) return std::nullopt;
      ++i;
    } else if (text[i] == '.' && i > 0 && IsDigit(text[i - 1]) && i + 1 < n &&
               IsDigit(text[i + 1])) {
      ++i;
    } else {
      break;
    }
  }
  bool anyDigit = i > 0 && IsDigit(text[i - 1]);

  std::int64_t hundredths = units * 100;
  if (i < n && text[i] == ',') {
    ++i;
    int decimals = 0;
    while (i < n && IsDigit(text[i])) {
      int digit = text[i] - '0';
      if (decimals == 0) hundredths += digit * 10;
      if (decimals == 1) hundredths += digit;
      if (decimals == 2 && digit >= 5) hundredths += 1;  // half away from zero, as formatting does
      ++decimals;
      ++i;
    }
    if (decimals == 0) return std::nullopt;
    anyDigit = true;
  }
  if (!anyDigit) return std::nullopt;
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return std::nullopt;
  return static_cast<double>(hundredths) / 100.0;
}

}  // namespace quadrelo::conversion
