#include "conversion/normalize_line_breaks.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/buffered_output.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/replacement_file.h"
#include "platform/text.h"

namespace quadrelo::conversion {

namespace fs = std::filesystem;

// Bytes read per call.
constexpr std::size_t kBlockSize = 1 << 20;

void NormalizeLineBreaks(std::string path) {
  fs::path file = PathFromUtf8(path);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) Fail(FailureCode::FileNotFound, "file not found", file);
  // A link is followed, so that the file it names is rewritten and the link stays.
  if (fs::is_symlink(fs::symlink_status(file, error))) {
    fs::path resolved = fs::canonical(file, error);
    if (!error) file = resolved;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(FailureCode::FileNotFound, "cannot open", file);
  const files::FileStamp atOpen = files::StampOf(file);
  std::uintmax_t bytesRead = 0;

  ReplacementFile replacement(file, file);
  BufferedOutput out(replacement);
  auto block = std::make_unique<char[]>(kBlockSize);
  static constexpr char kLineBreak[] = {'\r', '\n'};
  bool lineOpen = false;     // bytes written since the last line break
  bool afterReturn = false;  // the last byte seen was a CR, whose LF may follow
  while (in) {
    in.read(block.get(), static_cast<std::streamsize>(kBlockSize));
    auto size = static_cast<std::size_t>(in.gcount());
    bytesRead += size;
    if (in.bad()) Fail(FailureCode::ReadFailed, "cannot read", file);
    const char* p = block.get();
    const char* end = p + size;
    if (p < end && afterReturn && *p == '\n') ++p;
    afterReturn = false;
    // The next CR and the next LF, each searched for once per occurrence so that a block with
    // many of one and none of the other still costs linear time.
    const char* nextReturn = nullptr;
    const char* nextFeed = nullptr;
    while (p < end) {
      if (nextReturn == nullptr || nextReturn < p) {
        nextReturn =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (nextReturn == nullptr) nextReturn = end;
      }
      if (nextFeed == nullptr || nextFeed < p) {
        nextFeed =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (nextFeed == nullptr) nextFeed = end;
      }
      const char* stop = std::min(nextReturn, nextFeed);
      out.write(p, static_cast<std::size_t>(stop - p));
      if (stop == end) {
        lineOpen = lineOpen || stop != p;
        break;
      }
      out.write(kLineBreak, 2);
      lineOpen = false;
      p = stop + 1;
      if (*stop == '\r') {
        if (p == end)
          afterReturn = true;
        else if (*p == '\n')
          ++p;
      }
    }
  }
  if (lineOpen) out.write(kLineBreak, 2);
  out.flush();
  in.close();
  // A file still being written (or cut) while it was read is not put back half done.
  replacement.commit([&] { files::CheckUnchanged(file, atOpen, bytesRead); });
}

}  // namespace quadrelo::conversion
