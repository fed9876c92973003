#include "workbook/xls/record_writer.h"

#include <algorithm>

namespace quadrelo::xls {

namespace {

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
  Put16(body.data(), 0x0600);  // BIFF8
  Put16(body.data() + 2, static_cast<std::uint16_t>(kind));
  Put16(body.data() + 4, 0x0DBB);  // build
  Put16(body.data() + 6, 0x07CC);  // year
  Put32(body.data() + 8, 0x00000041);
  Put32(body.data() + 12, 0x00000006);  // lowest BIFF version that can read it
  w.record(record::kBof, body);
}

void WriteEof(RecordWriter& w) { w.record(record::kEof, nullptr, 0); }

}  // namespace quadrelo::xls
