#include "app/UpdateCheck.h"

#include <cctype>
#include <string>

// Any bytes as the server's answer: read without harm, and the verdict agrees
// with a plain reading of its leading digits.

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const std::string body (reinterpret_cast<const char*> (data), size);
    const bool newer = UpdateCheck::isNewerVersion (body);

    size_t i = 0;
    while (i < body.size() && std::isspace ((unsigned char) body[i]))
        ++i;

    const bool negative = i < body.size() && body[i] == '-';
    if (i < body.size() && (body[i] == '+' || body[i] == '-'))
        ++i;

    size_t firstDigit = i;
    while (firstDigit < body.size() && body[firstDigit] == '0')
        ++firstDigit;

    size_t end = firstDigit;
    while (end < body.size() && std::isdigit ((unsigned char) body[end]))
        ++end;

    const auto digits = body.substr (firstDigit, end - firstDigit);
    const bool expected = ! negative && (digits.size() > 5 || (digits.size() == 5 && digits > "65536"));

    if (newer != expected)
        __builtin_trap();

    return 0;
}
