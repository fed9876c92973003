#include "workbook/xls/record_writer.h"

#include <algorithm>

#include "platform/failure.h"

namespace quadrelo::xls {

namespace {

// BOF fields [MS-XLS 2.4.21], stamped as Excel 2016 stamps them (build 20314): a file that says
// it was last saved and calculated by the version every current Excel reports (16) is not
// recalculated on opening, so an unchanged file closes without asking to be saved.
constexpr std::uint16_t kBofVersBiff8 = 0x0600;
constexpr std::uint16_t kBofRupBuild = 0x4F5A;
constexpr std::uint16_t kBofRupYear = 0x07CD;
// fWin and fWinAny (edited on Windows), the two unused1 bits Excel sets, and verXLHigh = 8
// (the highest version that saved the file: 16, as Excel numbers it here).
constexpr std::uint32_t kBofHistory = 0x000200C9;
// verLowestBiff = 6 (BIFF8) and verLastXLSaved = 8 (last saved by version 16).
constexpr std::uint32_t kBofVersions = 0x00000806;

void WriteHeader(ByteOutput& out, std::uint16_t id, std::size_t size) {
  std::uint8_t header[4];
  Put16(header, id);
  Put16(header + 2, static_cast<std::uint16_t>(size));
  out.write(header, sizeof header);
}

}  // namespace

void RecordWriter::record(std::uint16_t id, const void* body, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(body);
  std::size_t piece = std::min(size, kMaxBody);
  WriteHeader(out_, id, piece);
  out_.write(bytes, piece);
  for (std::size_t done = piece; done < size; done += piece) {
    piece = std::min(size - done, kMaxBody);
    WriteHeader(out_, record::kContinue, piece);
    out_.write(bytes + done, piece);
  }
}

void RecordWriter::RefuseOverfullRecord() {
  Fail(FailureCode::SaveFailed,
       "Error interno al escribir el libro: un registro no cabe en su espacio.");
}

void RecordWriter::begin(std::uint16_t id) {
  open_ = true;
  id_ = id;
  used_ = 0;
}

void RecordWriter::startContinue() {
  emitOpen();
  id_ = record::kContinue;
  used_ = 0;
}

void RecordWriter::end() {
  if (!open_) return;
  emitOpen();
  open_ = false;
  used_ = 0;
}

void RecordWriter::emitOpen() {
  WriteHeader(out_, id_, used_);
  out_.write(body_.data(), used_);
}

std::uint64_t RecordWriter::position() const {
  std::uint64_t written = out_.position() - start_;
  return open_ ? written + 4 + used_ : written;
}

void WriteBof(RecordWriter& w, SubstreamKind kind) {
  std::array<std::uint8_t, 16> body{};
  Put16(body.data(), kBofVersBiff8);
  Put16(body.data() + 2, static_cast<std::uint16_t>(kind));
  Put16(body.data() + 4, kBofRupBuild);
  Put16(body.data() + 6, kBofRupYear);
  Put32(body.data() + 8, kBofHistory);
  Put32(body.data() + 12, kBofVersions);
  w.record(record::kBof, body);
}

void WriteEof(RecordWriter& w) { w.record(record::kEof, nullptr, 0); }

void WriteU16Record(RecordWriter& w, std::uint16_t id, std::uint16_t value) {
  std::array<std::uint8_t, 2> body;
  Put16(body.data(), value);
  w.record(id, body);
}

}  // namespace quadrelo::xls
