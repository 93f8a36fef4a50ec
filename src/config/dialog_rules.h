// The settings dialog's rules, free of Windows: the transparency label, the picture's file
// name and its fit into the option button, and the check of the fade time on "&Ok".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// "NN% Transparent" for a scroll value of a bar whose maximum is max.
std::string TransparencyLabel(int value, int max);

// Everything after the last backslash, or the whole path when it has none.
std::string FileNamePart(const std::string& path);

// The fade time as typed: a whole number within 32 bits, blanks around allowed; empty text
// counts as 0. Nothing for anything else (text pasted past the key filter).
std::optional<std::int32_t> FadeSeconds(const std::string& text);

// The caption for a file name: the name when it fits, else its longest prefix, at least one
// character shorter, followed by "..." that fits ("..." alone when nothing does). `fits`
// measures one candidate; `yield` runs between passes and returns false when this fit must
// give way to a newer one, which gives nothing. Lengths count characters, which take several
// bytes under the UTF-8 code page.
std::optional<std::string> FitCaption(std::string name, const std::function<bool(const std::string&)>& fits,
                                      const std::function<bool()>& yield, bool utf8);
