#include "files/leading_number.h"

#include <algorithm>

namespace files {

std::optional<qint64> leadingNumber(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at) == QLatin1Char(' '))
        ++at;
    const bool negative = at < text.size() && text.at(at) == QLatin1Char('-');
    if (at < text.size() && (text.at(at) == QLatin1Char('-') || text.at(at) == QLatin1Char('+')))
        ++at;
    const qsizetype firstDigit = at;
    qint64 value = 0;
    for (; at < text.size() && text.at(at).isDigit() && text.at(at).unicode() < 0x80; ++at)
        value = std::min(kHuge, value * 10 + (text.at(at).unicode() - '0'));
    if (at == firstDigit)
        return std::nullopt;
    return negative ? -value : value;
}

}  // namespace files
