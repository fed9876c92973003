#include "platform/console.h"

#include "platform/text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace quadrelo {

ConsoleBuffer::ConsoleBuffer(std::FILE* file) : file_(file) {
#ifdef _WIN32
  // GetConsoleMode fails for files and pipes: they keep the bytes.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) console_ = handle;
#endif
  setp(buffer_, buffer_ + sizeof buffer_);
}

ConsoleBuffer::~ConsoleBuffer() {
  sync();
#ifdef _WIN32
  if (console_ != nullptr && !cut_.empty()) {
    DWORD written = 0;
    WriteConsoleW(console_, L"\uFFFD", 1, &written, nullptr);
  }
#endif
}

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
  if (!writeOut()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int ConsoleBuffer::sync() {
  if (!writeOut()) return -1;
  return std::fflush(file_) == 0 ? 0 : -1;
}

bool ConsoleBuffer::writeOut() {
  const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_, buffer_ + sizeof buffer_);
  if (size == 0) return true;
#ifdef _WIN32
  if (console_ != nullptr) {
    cut_.append(buffer_, size);
    std::u16string text;
    cut_.erase(0, AppendUtf16(cut_, text));
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const auto* chars = reinterpret_cast<const wchar_t*>(text.data());
    DWORD left = static_cast<DWORD>(text.size());
    while (left > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(console_, chars, left, &written, nullptr) || written == 0) return false;
      chars += written;
      left -= written;
    }
    return true;
  }
#endif
  return std::fwrite(buffer_, 1, size, file_) == size;
}

Console::Console() : outBuffer_(stdout), errBuffer_(stderr), out_(&outBuffer_), err_(&errBuffer_) {
  err_.tie(&out_);
  err_.setf(std::ios::unitbuf);
}

}  // namespace quadrelo
