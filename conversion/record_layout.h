#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace quadrelo::conversion {

// The bank's fixed-width transfer records. Positions are 1-based byte positions within one line.

inline constexpr std::string_view kAccountRecord = "11";
inline constexpr std::string_view kTransferRecord = "22";
inline constexpr std::string_view kRemarksRecord = "23";
// A record is at most this long; a longer first line means the file's line breaks are missing.
inline constexpr std::size_t kLongestRecord = 80;
// Put in front of the account field to name the account's sheet.
inline constexpr std::string_view kAccountLabelPrefix = "Cuenta: ";

// A run of bytes of the line.
struct Piece {
  int start;
  int length;
};

enum class Cleaning { Untrimmed, Trimmed };  // trimming removes spaces only, at both ends
enum class ValueKind { Text, Amount };

// One worksheet column filled from a record: its pieces, each cleaned on its own, joined by
// `separator` (when there are several) and written as text or read as an amount.
struct ColumnField {
  char column;
  ValueKind kind;
  Cleaning cleaning;
  char separator;
  int pieceCount;
  std::array<Piece, 3> pieces;
};

inline constexpr Piece kRecordType{1, 2};
inline constexpr Piece kAccountField{3, 18};  // taken whole, untrimmed

// "22": one worksheet row.
inline constexpr std::array<ColumnField, 5> kTransferColumns{{
    {'A', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{3, 4}}}},  // ordering bank
    {'B', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{7, 4}}}},  // ordering branch
    {'C',
     ValueKind::Text,
     Cleaning::Trimmed,
     '/',
     3,                               // presentation date:
     {{{27, 2}, {25, 2}, {21, 4}}}},  //   day/month/year
    {'D',
     ValueKind::Amount,
     Cleaning::Untrimmed,
     ',',
     2,                                                             // amount: whole units,
     {{{29, 8}, {37, 2}}}},                                         //   then hundredths
    {'E', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{42, 11}}}},  // operation reference
}};

// "23": the remarks of the transfer before it, in the same row.
inline constexpr std::array<ColumnField, 3> kRemarksColumns{{
    {'F', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{3, 30}}}},   // ordering party's name
    {'G', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{33, 20}}}},  // remarks 1
    {'H', ValueKind::Text, Cleaning::Trimmed, 0, 1, {{{53, 20}}}},  // remarks 2
}};

// The bytes at `piece`; shorter or empty when the line ends inside or before it. Never fails.
inline std::string_view TakePiece(std::string_view line, Piece piece) {
  auto start = static_cast<std::size_t>(piece.start - 1);
  if (start >= line.size()) return {};
  return line.substr(start, static_cast<std::size_t>(piece.length));
}

// The column's pieces cleaned and joined at the start of `bytes` (its memory reused), viewed
// there.
std::string_view JoinPieces(std::string_view line, const ColumnField& field, std::string& bytes);

// The column's raw bytes (still in the file's code page): its pieces cleaned and joined. A
// column of one piece is a view into `line`; one of several is joined in `bytes` (its capacity
// reused) and viewed there. Inline: it runs for every field of every record.
inline std::string_view TakeColumn(std::string_view line, const ColumnField& field,
                                   std::string& bytes) {
  if (field.pieceCount != 1) return JoinPieces(line, field, bytes);
  std::string_view piece = TakePiece(line, field.pieces[0]);
  return field.cleaning == Cleaning::Trimmed ? TrimSpaces(piece) : piece;
}

// Reads an amount such as "00012345,67" or " 1.234,5 ": digits with "." between them as
// thousands separators, a decimal comma followed by at least one digit, spaces around the
// number. Rounded to hundredths, computed exactly and divided once. Empty when the text is not
// such a number (a sign, stray characters, or a text that ends in the comma, which is what a
// line cut inside the whole units leaves).
std::optional<double> ReadAmount(std::string_view text);

}  // namespace quadrelo::conversion
