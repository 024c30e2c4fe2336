#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

// The angle box's first check: not empty, and every character a digit or a minus sign,
// in any number and position ("3-" and "--" pass; the conversion refuses them later).
bool IsIntegerText(std::string_view text);

// A whole number within 32 bits: an optional leading '-', then one or more digits.
// No spaces, no '+', no other characters; anything else (or overflow) gives nullopt.
std::optional<std::int32_t> StrToInt32(std::string_view text);

// "'" + text + "' is not a valid integer value": the conversion's own failure text.
std::string notValidIntegerMessage(std::string_view text);

inline constexpr const char* kPleaseInputValidInteger = "Please input a valid integer value.";

} // namespace quill
