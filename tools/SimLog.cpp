#include "tools/SimLog.h"

#include <cstdio>

namespace zuvexsim {

std::string quoted(std::string_view bytes) {
    std::string text = "\"";
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '"':
        case '\\':
            text += '\\';
            text += c;
            break;
        default:
            if (b >= 0x20 && b <= 0x7E) {
                text += c;
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", b);
                text += buf;
            }
        }
    }
    return text + "\"";
}

std::string hexList(std::string_view bytes) {
    std::string text;
    char buf[4];
    for (char c : bytes) {
        std::snprintf(buf, sizeof buf, text.empty() ? "%02X" : " %02X",
                      static_cast<unsigned char>(c));
        text += buf;
    }
    return text;
}

std::string readable(std::string_view bytes) {
    std::size_t printable = 0;
    for (char c : bytes)
        if ((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n')
            ++printable;
    if (printable * 2 < bytes.size())
        return hexList(bytes);
    return hexList(bytes) + "  " + quoted(bytes);
}

std::string logLine(int port, double seconds, std::string_view arrow, std::string_view text) {
    char head[48];
    std::snprintf(head, sizeof head, "[COM%d %11.6f] ", port, seconds);
    std::string line = head;
    line += arrow;
    line += ' ';
    line += text;
    return line;
}

} // namespace zuvexsim
