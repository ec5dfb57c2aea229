#include "ImeiCheck.h"

namespace {

bool allDigits(const std::string &text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Luhn over a 14-digit body: even positions as they are, odd positions doubled (minus 9 when over 9).
char luhnDigit(const std::string &body)
{
    int sum = 0;
    for (std::size_t i = 0; i < 14; ++i) {
        int d = body[i] - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    const int r = sum % 10;
    return static_cast<char>('0' + (r == 0 ? 0 : 10 - r));
}

} // namespace

bool ImeiCheck::isValid(const std::string &imei)
{
    if (imei.size() != 15 || !allDigits(imei))
        return false;
    return luhnDigit(imei) == imei[14];
}

std::string ImeiCheck::withCheckDigit(const std::string &body)
{
    // Anything but 14 digits gives an empty text: a made-up IMEI must never reach a handset.
    if (body.size() != 14 || !allDigits(body))
        return std::string();
    return body + luhnDigit(body);
}
