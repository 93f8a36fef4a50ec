// Text as the system's ANSI code page holds it. With the UTF-8 code page (the manifest asks for
// it) a character may take several bytes; other code pages are taken as one byte a character.
#pragma once

#include <cstddef>
#include <string>

namespace text {

void SetUtf8(bool utf8);

// The number of characters, and the first `count` characters.
std::size_t Length(const std::string& s);
std::string Left(const std::string& s, std::size_t count);

}  // namespace text
