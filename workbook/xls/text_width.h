#pragma once

#include <cstdint>
#include <string_view>

namespace quadrelo::xls {

// How wide a text shows in the default font, in quarters of the width of the digit "0" (the unit
// of column widths), estimated from its UTF-8 bytes: one character for digits, most letters and
// signs (narrow ones included, so that a text is never narrower than its length), a quarter more
// for capitals, half more for "M", "W", "m" and "w", double from U+3000 on (East Asian
// full-width characters). Continuation bytes below 0x9F add a quarter, which makes the capitals
// with accents (U+00C0 to U+00DE) wide like the others and overstates a few rarer characters
// slightly: never too narrow. Capped at 255, far beyond the widest column the writer sets.
std::uint8_t TextWidthQuarters(std::string_view utf8);

}  // namespace quadrelo::xls
