// The typing limit: whatever is pasted, what is kept fits the limit and is the longest head that does.
#include "core/cp932.h"

#include <cstdint>
#include <cstdlib>

using namespace worvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int limit = data[0];
    const bool lineBreakCountsTwo = data[1] & 1;
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data + 2), qsizetype((size - 2) / 2));

    const QString kept = LeftCp932Bytes(text, limit, lineBreakCountsTwo);
    const int length = Cp932Length(kept, lineBreakCountsTwo);
    if (length > limit)
        std::abort();
    if (!text.startsWith(kept))
        std::abort();
    // A character written as a surrogate pair is never cut in two.
    if (!kept.isEmpty() && kept.back().isHighSurrogate() && text.size() > kept.size() &&
        text.at(kept.size()).isLowSurrogate())
        std::abort();
    // What CP932 holds survives the trip through bytes.
    const QString representable = DropNonCp932(text);
    bool encoded = false;
    bool decoded = false;
    const QByteArray bytes = ToCp932(representable, &encoded);
    if (!encoded || FromCp932(bytes, &decoded) != representable || !decoded)
        std::abort();
    if (bytes.size() != Cp932Length(representable))
        std::abort();
    return 0;
}
