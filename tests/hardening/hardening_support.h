#pragma once

// What the hardening tests share: a sink that fails after a number of bytes, a limit on the size
// of the files this process writes (a full disk as far as the writer can tell), and a recording
// of what a conversion run showed and reported.

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/convert_transfer_file.h"
#include "conversion/report.h"
#include "platform/byte_sink.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui_services.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace quadrelo::hardening {

inline constexpr std::string_view kCannotOpen = "No se puede abrir el fichero de entrada";
inline constexpr std::string_view kWrongFormat = "El fichero no tiene el formato correcto";
inline constexpr std::string_view kCannotSave = "No se puede guardar el fichero de salida";
// What the output held before a run that fails; it must still hold exactly that afterwards.
inline const std::string kEarlierWorkbook = "an earlier workbook, which must survive";

// Passes `limit` bytes on to `next` (when given), then fails as a full disk would.
class FailAfterSink : public ByteSink {
 public:
  FailAfterSink(std::size_t limit, ByteSink* next = nullptr) : left_(limit), next_(next) {}
  void write(const char* data, std::size_t size) override {
    std::size_t part = std::min(size, left_);
    if (next_ != nullptr && part > 0) next_->write(data, part);
    left_ -= part;
    if (part < size) throw Failure(FailureCode::WriteFailed, "disk full (test)");
  }

 private:
  std::size_t left_;
  ByteSink* next_;
};

#ifndef _WIN32
// While it lives, no file this process writes grows past `bytes`: writes beyond fail with EFBIG
// instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};
#endif

class RecordingMessages : public MessageSink {
 public:
  void show(std::string_view text, MessageIcon) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

class RecordingReport : public conversion::ReportSink {
 public:
  void workbookSaved(std::string_view, int sheetCount, long transferCount) override {
    saved = true;
    sheets = sheetCount;
    transfers = transferCount;
  }
  void lineBreaksRepaired() override { repaired = true; }
  bool saved = false;
  bool repaired = false;
  int sheets = 0;
  long transfers = 0;
};

// One conversion with recording services; every file is closed afterwards.
struct Outcome {
  std::vector<std::string> messages;
  bool saved = false;
  bool repaired = false;
  int sheets = 0;
  long transfers = 0;
};

inline Outcome Convert(const std::filesystem::path& input, const std::filesystem::path& output,
                       conversion::RunServices services = {}) {
  RecordingMessages messages;
  RecordingReport report;
  services.messages = &messages;
  services.report = &report;
  conversion::ConvertTransferFile(PathToUtf8(input), PathToUtf8(output), services);
  files::Reset();
  return {messages.shown, report.saved, report.repaired, report.sheets, report.transfers};
}

// The names in a folder, sorted: a temporary file left behind shows up here.
inline std::vector<std::string> Listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Fixed-width records, as the bank sends them (Windows-1252 bytes).
inline std::string Record(std::string text) {
  text.resize(80, ' ');
  return text;
}
inline std::string AccountRecord(const std::string& account) {
  std::string field = account;
  field.resize(18, ' ');
  return Record("11" + field);
}
inline std::string TransferRecord(const std::string& reference) {
  return Record("2200491500" + std::string(10, '0') + "20261207" + "0001234567" + "000" +
                reference);
}
inline std::string CrLf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

}  // namespace quadrelo::hardening
