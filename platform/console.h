#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

namespace quadrelo {

// Standard output or standard error for text in UTF-8. A Windows console shows that text right
// only as UTF-16 written with WriteConsoleW, so that is how it gets it; a file, a pipe and every
// terminal elsewhere get the UTF-8 bytes as they are.
class ConsoleBuffer : public std::streambuf {
 public:
  // `file` is stdout or stderr.
  explicit ConsoleBuffer(std::FILE* file);
  ConsoleBuffer(const ConsoleBuffer&) = delete;
  ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;
  ~ConsoleBuffer() override;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool writeOut();

  std::FILE* file_;
  void* console_ = nullptr;  // the console's handle, when there is one
  char buffer_[4096];
  std::string cut_;  // the start of a UTF-8 sequence whose end is still to come
};

// The program's two output streams: standard error is written at once, after whatever standard
// output still holds, so that the two keep their order on a console or a shared file.
class Console {
 public:
  Console();
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }

 private:
  ConsoleBuffer outBuffer_;
  ConsoleBuffer errBuffer_;
  std::ostream out_;
  std::ostream err_;
};

}  // namespace quadrelo
