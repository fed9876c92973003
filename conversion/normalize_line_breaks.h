#pragma once

#include <string>

namespace quadrelo::conversion {

// Rewrites the file at `path` (UTF-8) so that every line ends in CR LF: each CR LF, lone LF and
// lone CR ends one line, the last line included, and every other byte stays as it was. The new
// content replaces the file only when it is complete; on failure the file is left untouched.
// Throws Failure.
void NormalizeLineBreaks(std::string path);

}  // namespace quadrelo::conversion
