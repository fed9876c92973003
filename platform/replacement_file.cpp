#include "platform/replacement_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "platform/failure.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quadrelo {

namespace fs = std::filesystem;

std::FILE* CreateNewFile(const fs::path& path) {
#ifdef _WIN32
  // Not _wfopen's "x": the msvcrt.dll that MinGW links ignores it and would empty the file.
  int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _wfdopen(fd, L"wb");
  if (file == nullptr) {
    int error = errno;
    _close(fd);
    errno = error;
  }
  return file;
#else
  return std::fopen(path.c_str(), "wbx");
#endif
}

namespace {

// Puts the file's bytes on the disk, so that after the rename a power cut cannot leave an empty
// or partly written file in place of the old one.
bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// Asks the system to start putting on the disk the `size` bytes from `from` (0: to the end),
// without waiting, so that the sync at commit finds little left to do. Only a hint, and only
// where the system has such a call; elsewhere the sync does all of it.
#ifndef _WIN32
void StartWriteBack(int fd, std::uint64_t from, std::uint64_t size) {
#ifdef __linux__
  sync_file_range(fd, static_cast<off64_t>(from), static_cast<off64_t>(size),
                  SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
  (void)from;
  (void)size;
#endif
}
#endif

void StartWriteBack(std::FILE* file, std::uint64_t from) {
#ifndef _WIN32
  StartWriteBack(fileno(file), from, 0);
#else
  (void)file;
  (void)from;
#endif
}

// How often, in bytes written, the write-back is started.
constexpr std::uint64_t kWriteBackEvery = 4 << 20;

// Makes the rename itself durable; where the folder cannot be opened for it, the rename stands
// as the file system keeps it.
void SyncFolder(const fs::path& folder) {
#ifndef _WIN32
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
#else
  (void)folder;
#endif
}

}  // namespace

ReplacementFile::ReplacementFile(fs::path target, fs::path permissionsFrom)
    : target_(std::move(target)), permissionsFrom_(std::move(permissionsFrom)) {
  std::error_code error;
  // Only an ordinary file is replaced: a folder, a pipe or a device of that name stays as it is.
  fs::file_status status = fs::status(target_, error);
  if (target_.empty() || (fs::exists(status) && !fs::is_regular_file(status))) {
    Fail(FailureCode::WriteFailed, "not an ordinary file", target_);
  }
  fs::path folder = target_.parent_path();
  if (folder.empty()) folder = fs::current_path();
  std::random_device random;
  // A hidden name beside the target, so the rename stays within one file system.
  for (int attempt = 0; attempt < 32 && file_ == nullptr; ++attempt) {
    std::string suffix = std::to_string(random() & 0xFFFFFF);
    suffix.insert(0, 1, '.');
    suffix.append(".tmp");
    fs::path name(".");
    name += target_.filename().native();
    name += suffix;
    temporary_ = folder / name;
    errno = 0;
    file_ = CreateNewFile(temporary_);
    if (file_ == nullptr && errno != EEXIST) break;
  }
  if (file_ == nullptr) {
    temporary_.clear();
    Fail(FailureCode::WriteFailed,
         std::string("cannot create a file beside it (") + std::strerror(errno) + ")", target_);
  }
}

ReplacementFile::~ReplacementFile() { discard(); }

namespace {

#ifndef _WIN32
// Bytes written at their own offset of the temporary file, beside the sequential ones: pwrite
// neither uses nor moves the position the stream writes at. Their write-back starts as they go,
// as the stream's does.
class PositionedPart : public ByteSink {
 public:
  PositionedPart(int fd, std::uint64_t offset, const fs::path& target)
      : fd_(fd), offset_(offset), writeBackFrom_(offset), target_(target) {}

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t done = pwrite(fd_, data, size, static_cast<off_t>(offset_));
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) {
        Fail(FailureCode::WriteFailed,
             std::string("cannot write (") + std::strerror(done < 0 ? errno : ENOSPC) + ")",
             target_);
      }
      data += done;
      size -= static_cast<std::size_t>(done);
      offset_ += static_cast<std::uint64_t>(done);
    }
    if (offset_ - writeBackFrom_ >= kWriteBackEvery) {
      StartWriteBack(fd_, writeBackFrom_, offset_ - writeBackFrom_);
      writeBackFrom_ = offset_;
    }
  }

 private:
  int fd_;
  std::uint64_t offset_;
  std::uint64_t writeBackFrom_;
  const fs::path& target_;
};
#else
// Bytes written at their own offset of the temporary file, beside the sequential ones, through
// a handle of their own to the same file (ReOpenFile: no second lookup by name), so that the
// stream's position is not moved.
class PositionedPart : public ByteSink {
 public:
  PositionedPart(HANDLE handle, std::uint64_t offset, const fs::path& target)
      : handle_(handle), offset_(offset), target_(target) {}
  ~PositionedPart() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  PositionedPart(const PositionedPart&) = delete;
  PositionedPart& operator=(const PositionedPart&) = delete;

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset_);
      at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      DWORD done = 0;
      if (!WriteFile(handle_, data, chunk, &done, &at) || done == 0) {
        Fail(FailureCode::WriteFailed, "cannot write (disk full?)", target_);
      }
      data += done;
      size -= done;
      offset_ += done;
    }
  }

  void finish() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) Fail(FailureCode::WriteFailed, "cannot write (disk full?)", target_);
  }

 private:
  HANDLE handle_;
  std::uint64_t offset_;
  const fs::path& target_;
};
#endif

}  // namespace

std::unique_ptr<ByteSink> ReplacementFile::partAt(std::uint64_t offset) {
  if (file_ == nullptr) Fail(FailureCode::WriteFailed, "already closed", target_);
#ifndef _WIN32
  return std::make_unique<PositionedPart>(fileno(file_), offset, target_);
#else
  // Where the system cannot open the file a second time, its parts are written in order.
  auto original = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)));
  HANDLE handle = ReOpenFile(original, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<PositionedPart>(handle, offset, target_);
#endif
}

void ReplacementFile::write(const char* data, std::size_t size) {
  if (file_ == nullptr) Fail(FailureCode::WriteFailed, "already closed", target_);
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    Fail(FailureCode::WriteFailed, std::string("cannot write (") + std::strerror(errno) + ")",
         target_);
  }
  written_ += size;
  // Every few megabytes; from a little before the last start, for bytes the stream still held.
  constexpr std::uint64_t kStreamSlack = 64 << 10;
  if (written_ - writeBackFrom_ >= kWriteBackEvery) {
    StartWriteBack(file_, writeBackFrom_);
    writeBackFrom_ = written_ > kStreamSlack ? written_ - kStreamSlack : 0;
  }
}

void ReplacementFile::commit(const std::function<void()>& lastCheck) {
  if (file_ == nullptr) Fail(FailureCode::WriteFailed, "already closed", target_);
  bool flushed = std::fflush(file_) == 0 && SyncToDisk(file_);
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    discard();
    Fail(FailureCode::WriteFailed, "cannot write (disk full?)", target_);
  }
  if (lastCheck) {
    try {
      lastCheck();
    } catch (...) {
      discard();
      throw;
    }
  }
  std::error_code error;
  if (!permissionsFrom_.empty()) {
    fs::perms perms = fs::status(permissionsFrom_, error).permissions();
    if (!error) fs::permissions(temporary_, perms, error);
  }
  fs::rename(temporary_, target_, error);
  if (error) {
    discard();
    Fail(FailureCode::WriteFailed, "cannot replace (" + error.message() + ")", target_);
  }
  temporary_.clear();
  SyncFolder(target_.parent_path());
}

void ReplacementFile::discard() noexcept {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    temporary_.clear();
  }
}

}  // namespace quadrelo
