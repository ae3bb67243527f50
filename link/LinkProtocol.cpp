#include "link/LinkProtocol.h"

namespace LinkProtocol {

QString printableText(const std::uint8_t* data, int size) {
    QString text;
    text.reserve(size);
    for (int i = 0; i < size; ++i)
        if (data[i] >= 0x20 && data[i] <= 0x7E)
            text += QLatin1Char(char(data[i]));
    return text;
}

std::uint8_t byteSum(const std::uint8_t* data, int size) {
    unsigned sum = 0;
    for (int i = 0; i < size; ++i)
        sum += data[i];
    return std::uint8_t(sum & 0xFF);
}

} // namespace LinkProtocol
