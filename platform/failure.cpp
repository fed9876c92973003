#include "platform/failure.h"

#include "platform/text.h"

namespace quadrelo {

void Fail(FailureCode code, std::string_view what) { throw Failure(code, std::string(what)); }

void Fail(FailureCode code, std::string_view what, const std::filesystem::path& path) {
  if (path.empty()) Fail(code, what);
  std::string text(what);
  text += ": ";
  text += PathToUtf8(path);
  throw Failure(code, text);
}

}  // namespace quadrelo
