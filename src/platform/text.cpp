#include "platform/text.h"

namespace text {
namespace {

bool g_utf8 = false;

// A byte that continues a UTF-8 character rather than starting one.
bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void SetUtf8(bool utf8) { g_utf8 = utf8; }

std::size_t Length(const std::string& s) {
    if (!g_utf8) return s.size();
    std::size_t n = 0;
    for (char c : s) n += !Continues(c);
    return n;
}

std::string Left(const std::string& s, std::size_t count) {
    if (!g_utf8) return s.substr(0, count);
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size(); ++i) {
        if (!Continues(s[i]) && chars++ == count) break;
    }
    return s.substr(0, i);
}

}  // namespace text
