#pragma once

#include <string>
#include <string_view>

namespace zuvexsim {

// Bytes as a C-style quoted string: "T\r", "\x06", "Zuvex 910k\r\n".
std::string quoted(std::string_view bytes);
// Bytes as hex values: "54 0D".
std::string hexList(std::string_view bytes);
// Hex values, followed by the quoted text when the bytes are mostly text.
std::string readable(std::string_view bytes);
// One log line: "[COM3  12.345678] <- 54 0D  "T\r"".
std::string logLine(int port, double seconds, std::string_view arrow, std::string_view text);

} // namespace zuvexsim
