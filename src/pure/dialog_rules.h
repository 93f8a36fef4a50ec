// The settings dialog's rules, free of Windows: the transparency label, the picture's file
// name and its fit into the option button, and the check of the fade time on "&Ok".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "pure/pixel_rect.h"

// "NN% Transparent" for a scroll value of a bar whose maximum is max.
std::string TransparencyLabel(int value, int max);

// How the active code page spells characters: given text and the byte where a character
// starts, the byte after that character.
using NextChar = std::function<std::size_t(const std::string& s, std::size_t i)>;
// UTF-8: a character runs on over its continuation bytes.
std::size_t NextUtf8(const std::string& s, std::size_t i);
// A code page of one or two bytes a character: a lead byte takes the next byte along (which
// may be any byte, a backslash too). A single-byte code page names no lead byte.
NextChar DoubleByte(std::function<bool(unsigned char)> lead);

// Everything after the last backslash, or the whole path when it has none.
std::string FileNamePart(const std::string& path, const NextChar& next);

// The fade time as typed: a whole number within 32 bits, blanks around allowed; empty text
// counts as 0. Nothing for anything else (text pasted past the key filter).
std::optional<std::int32_t> FadeSeconds(const std::string& text);

// The caption for a file name: the name when it fits, else its longest prefix, at least one
// character shorter, followed by "..." that fits ("..." alone when nothing does). `fits`
// measures one candidate; `yield` runs between passes and returns false when this fit must
// give way to a newer one, which gives nothing. Lengths count characters; no more than `most`
// can fit (no glyph is narrower than a pixel), so the passes start from there, however long
// the name.
std::optional<std::string> FitCaption(const std::string& name, const std::function<bool(const std::string&)>& fits,
                                      const std::function<bool()>& yield, const NextChar& next, std::size_t most);

// The option button an arrow key moves to in a group of buttons at `places`: by place, the
// nearest whose centre lies that way, a step across the way counting double; `from` itself
// when none does.
enum class Arrow { Left, Up, Right, Down };
int NextByPlace(std::span<const PixelRect> places, int from, Arrow arrow);
