#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/buffered_output.h"
#include "platform/failure.h"

namespace quadrelo::files {

namespace fs = std::filesystem;

namespace {

// The numbers a program may use, as the classic file-number table allows.
constexpr int kHighestNumber = 511;
// Bytes moved per read or write call; lines are cut out of the block with memchr.
constexpr std::size_t kBlockSize = 256 * 1024;

enum class Mode { Input, Output };

// `what`, with the C library's reason for the last failure.
std::string WhyNot(const char* what) {
  return std::string(what) + " (" + std::strerror(errno) + ")";
}

// The stream of a file open for output, beneath its buffer.
class StreamSink : public ByteSink {
 public:
  StreamSink(std::FILE* file, const fs::path& path) : file_(file), path_(path) {}
  void write(const char* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) != size) {
      Fail(FailureCode::WriteFailed, WhyNot("cannot write"), path_);
    }
  }

 private:
  std::FILE* file_;
  const fs::path& path_;
};

struct OpenFile {
  Mode mode = Mode::Input;
  fs::path path;
  std::FILE* file = nullptr;
  // Input: the block read last, its first unread byte and its end.
  std::unique_ptr<char[]> block;
  std::size_t begin = 0;
  std::size_t end = 0;
  bool exhausted = false;  // the file has no more bytes beyond the block
  FileStamp stamp;         // the file as it was opened
  std::uintmax_t bytesRead = 0;
  // Output: the lines not yet written.
  std::optional<StreamSink> stream;
  std::optional<BufferedOutput> output;

  // Hands the buffered lines to the stream and the stream's to the file; false when either fails.
  bool flushOutput() noexcept {
    try {
      output->flush();
    } catch (...) {
      std::fflush(file);
      return false;
    }
    return std::fflush(file) == 0;
  }
};

struct Table {
  std::vector<std::unique_ptr<OpenFile>> slots =
      std::vector<std::unique_ptr<OpenFile>>(kHighestNumber + 1);
};

Table& TheTable() {
  static Table table;
  return table;
}

std::FILE* OpenStream(const fs::path& path, bool forOutput) {
#ifdef _WIN32
  return _wfopen(path.c_str(), forOutput ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), forOutput ? "wb" : "rb");
#endif
}

void CheckNumber(int number) {
  if (number < 1 || number > kHighestNumber) {
    Fail(FailureCode::BadFileNumber, "bad file number " + std::to_string(number));
  }
}

OpenFile& Opened(Table& table, int number, Mode mode) {
  CheckNumber(number);
  OpenFile* file = table.slots[static_cast<std::size_t>(number)].get();
  if (file == nullptr)
    Fail(FailureCode::BadFileNumber, "file number " + std::to_string(number) + " is not open");
  if (file->mode != mode) Fail(FailureCode::BadFileMode, "bad file mode", file->path);
  return *file;
}

// A file open for output may not be opened again, and none may be opened for output while it
// is open at all: writing would destroy what another number reads.
void CheckNotOpenElsewhere(Table& table, const fs::path& path, Mode mode) {
  for (const auto& slot : table.slots) {
    if (!slot || (mode == Mode::Input && slot->mode == Mode::Input)) continue;
    std::error_code error;
    if (fs::equivalent(slot->path, path, error))
      Fail(FailureCode::FileAlreadyOpen, "file already open", path);
  }
}

// Makes sure the block holds an unread byte; false at the end of the file.
bool Fill(OpenFile& file) {
  if (file.begin < file.end) return true;
  if (file.exhausted) return false;
  file.begin = 0;
  file.end = std::fread(file.block.get(), 1, kBlockSize, file.file);
  file.bytesRead += file.end;
  if (file.end < kBlockSize) {
    if (std::ferror(file.file)) {
      file.end = 0;
      Fail(FailureCode::ReadFailed, WhyNot("cannot read"), file.path);
    }
    file.exhausted = true;
  }
  return file.end > 0;
}

void CheckFree(Table& table, int number, const fs::path& path) {
  CheckNumber(number);
  if (table.slots[static_cast<std::size_t>(number)]) {
    Fail(FailureCode::FileAlreadyOpen, "file number already in use", path);
  }
}

void Open(Table& table, int number, const fs::path& path, Mode mode) {
  CheckNotOpenElsewhere(table, path, mode);
  auto file = std::make_unique<OpenFile>();
  file->mode = mode;
  file->path = path;
  errno = 0;
  file->file = OpenStream(path, mode == Mode::Output);
  if (file->file == nullptr) {
    if (mode == Mode::Input) Fail(FailureCode::FileNotFound, WhyNot("cannot open"), path);
    Fail(FailureCode::WriteFailed, WhyNot("cannot create"), path);
  }
  if (mode == Mode::Input) {
    file->block = std::make_unique<char[]>(kBlockSize);
    try {
      file->stamp = StampOf(path);
    } catch (...) {
      std::fclose(file->file);
      throw;
    }
  } else {
    file->stream.emplace(file->file, file->path);
    file->output.emplace(*file->stream, kBlockSize);
  }
  table.slots[static_cast<std::size_t>(number)] = std::move(file);
}

}  // namespace

int FreeFile() {
  Table& table = TheTable();
  for (int number = 1; number <= kHighestNumber; ++number) {
    if (!table.slots[static_cast<std::size_t>(number)]) return number;
  }
  Fail(FailureCode::BadFileNumber, "too many files open");
}

void OpenForInput(int number, const fs::path& path) {
  Table& table = TheTable();
  CheckFree(table, number, path);
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    fs::path folder = path.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, error))
      Fail(FailureCode::PathNotFound, "path not found", path);
    Fail(FailureCode::FileNotFound, "file not found", path);
  }
  // Folders, pipes and devices are refused before opening, so that an open never blocks.
  if (!fs::is_regular_file(status)) Fail(FailureCode::FileNotFound, "not an ordinary file", path);
  Open(table, number, path, Mode::Input);
}

void OpenForOutput(int number, const fs::path& path) {
  Table& table = TheTable();
  CheckFree(table, number, path);
  std::error_code error;
  fs::path folder = path.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error))
    Fail(FailureCode::PathNotFound, "path not found", path);
  fs::file_status status = fs::status(path, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    Fail(FailureCode::FileNotFound, "not an ordinary file", path);
  }
  Open(table, number, path, Mode::Output);
}

void LineInput(int number, std::string& line) { LineInput(number, line, std::string::npos); }

void LineInput(int number, std::string& line, std::size_t keep) {
  Table& table = TheTable();
  OpenFile& file = Opened(table, number, Mode::Input);
  line.clear();
  if (!Fill(file)) Fail(FailureCode::InputPastEnd, "input past end of file", file.path);
  do {
    const char* start = file.block.get() + file.begin;
    std::size_t available = file.end - file.begin;
    const void* cr = std::memchr(start, '\r', available);
    if (cr != nullptr) {
      std::size_t length = static_cast<std::size_t>(static_cast<const char*>(cr) - start);
      line.append(start, std::min(length, keep - line.size()));
      file.begin += length + 1;
      if (Fill(file) && file.block[file.begin] == '\n') ++file.begin;
      return;
    }
    line.append(start, std::min(available, keep - line.size()));
    file.begin = file.end;
  } while (Fill(file));
}

void PrintLine(int number, std::string_view line) {
  Table& table = TheTable();
  OpenFile& file = Opened(table, number, Mode::Output);
  file.output->write(line.data(), line.size());
  file.output->write("\r\n", 2);
}

bool Eof(int number) {
  Table& table = TheTable();
  return !Fill(Opened(table, number, Mode::Input));
}

void Close(int number) {
  Table& table = TheTable();
  if (number < 1 || number > kHighestNumber) return;
  std::unique_ptr<OpenFile> file = std::move(table.slots[static_cast<std::size_t>(number)]);
  if (!file) return;
  bool written = file->mode != Mode::Output || file->flushOutput();
  bool closed = std::fclose(file->file) == 0;
  if (file->mode == Mode::Output && !(written && closed)) {
    Fail(FailureCode::WriteFailed, "cannot write (disk full?)", file->path);
  }
}

void Reset() noexcept {
  Table& table = TheTable();
  for (auto& slot : table.slots) {
    if (!slot) continue;
    if (slot->mode == Mode::Output) slot->flushOutput();
    std::fclose(slot->file);
    slot.reset();
  }
}

FileStamp StampOf(const fs::path& path) {
  std::error_code error;
  FileStamp stamp;
  stamp.size = fs::file_size(path, error);
  if (!error) stamp.modified = fs::last_write_time(path, error);
  if (error) Fail(FailureCode::FileNotFound, "cannot stat (" + error.message() + ")", path);
  return stamp;
}

void CheckUnchanged(const fs::path& path, const FileStamp& atOpen, std::uintmax_t bytesRead) {
  std::error_code error;
  std::uintmax_t size = fs::file_size(path, error);
  fs::file_time_type modified;
  if (!error) modified = fs::last_write_time(path, error);
  if (error || bytesRead != atOpen.size || size != atOpen.size || modified != atOpen.modified) {
    Fail(FailureCode::InputChanged,
         "changed while it was read (" + std::to_string(atOpen.size) + " bytes at open, " +
             std::to_string(bytesRead) + " read, " +
             (error ? std::string("gone") : std::to_string(size) + " now") + ")",
         path);
  }
}

void CheckUnchanged(int number) {
  Table& table = TheTable();
  OpenFile& file = Opened(table, number, Mode::Input);
  // Bytes still in the block were read from the file but not by the caller.
  CheckUnchanged(file.path, file.stamp, file.bytesRead - (file.end - file.begin));
}

int OpenCount() noexcept {
  Table& table = TheTable();
  int count = 0;
  for (const auto& slot : table.slots) count += slot ? 1 : 0;
  return count;
}

}  // namespace quadrelo::files
