#include "workbook/xls/record_writer.h"

#include <algorithm>

#include "platform/failure.h"

namespace quadrelo::xls {

namespace {

// BOF fields [MS-XLS 2.4.21].
constexpr std::uint16_t kBofVersBiff8 = 0x0600;
constexpr std::uint16_t kBofRupBuild = 0x0DBB;
constexpr std::uint16_t kBofRupYear = 0x07CC;
// The history bits: fWin (bit 0, "last edited on Windows", which MUST be 1) and bit 6 (unused1,
// undefined), set as in the files Excel itself writes.
constexpr std::uint32_t kBofFWin = 0x00000001;
constexpr std::uint32_t kBofUnused1 = 0x00000040;
constexpr std::uint32_t kBofVerLowestBiff = 0x00000006;

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
  Put32(body.data() + 8, kBofFWin | kBofUnused1);
  Put32(body.data() + 12, kBofVerLowestBiff);  // lowest BIFF version that can read it
  w.record(record::kBof, body);
}

void WriteEof(RecordWriter& w) { w.record(record::kEof, nullptr, 0); }

}  // namespace quadrelo::xls
