// The date rules take any text a user can type or paste into the date field.
#include "core/modcommon.h"

#include <cstdint>
#include <cstdlib>

using namespace worvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool valid = IsValidYmd(text);
    const QString forward = RollForwardYmd(text);
    const QString back = RollBackYmd(text);

    const bool plainDigits = text.size() == 8 && std::all_of(text.begin(), text.end(), [](QChar c) {
                                 return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                             });
    // A valid date written as eight digits is already where both steps would put it.
    if (valid && plainDigits && (forward != text || back != text))
        std::abort();
    // A step either leaves the text alone or gives eight digits that read as a date (or fall just
    // outside the accepted years).
    for (const QString &stepped : {forward, back}) {
        if (stepped == text)
            continue;
        if (stepped.size() != 8)
            std::abort();
        const int year = stepped.left(4).toInt();
        if (!IsValidYmd(stepped) && year != 1799 && year != 2100)
            std::abort();
    }
    return 0;
}
