// Text helpers for the framework's messages and parsers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// The text in double quotes, with quotes, backslashes, tabs and line breaks escaped, so that a
// message stays on one line and shows exactly what the text holds.
std::string Quote(std::string_view text);

// Texts quoted and separated by commas.
std::string QuoteAll(const std::vector<std::string>& texts);

// The first `characters` characters of UTF-8 text.
std::string FirstCharacters(std::string_view text, std::size_t characters);

std::string_view Trim(std::string_view text);

}  // namespace ui
