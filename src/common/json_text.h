// Text as a JSON string (RFC 8259, section 7), for info's --json lines and
// the description of a map published on the web.
#pragma once

#include <string>
#include <string_view>

// `text` in double quotes: the quote and the backslash escaped, every
// control character below 0x20 escaped (\n, \t, \r, \b, \f or \u00XX), valid
// UTF-8 kept as it is. A byte that does not begin a valid UTF-8 sequence
// (a file name in another encoding, an overlong form, a surrogate) becomes
// U+FFFD, so that the line stays JSON that any parser accepts.
std::string json_string(std::string_view text);
