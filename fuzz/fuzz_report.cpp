// The report file: any screen values give a file whose bytes decode back to the text, or a clear
// refusal when a character has no Shift-JIS form; the layout keeps one block per item.
#include "core/cp932.h"
#include "report/reportfile.h"

#include <cstdint>
#include <cstdlib>

using namespace worvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList parts = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))
                                  .split(QChar(0x1F)); // unit separator between fields
    QList<WorkItem> items;
    for (int i = 3; i + 2 < parts.size(); i += 3)
        items.append(WorkItem{parts[i], parts[i + 1], parts[i + 2]});
    const QString text = BuildReportText(parts.value(0), parts.value(1), parts.value(2), items);

    // Every line break of the layout is CR LF and the text ends with the extra one.
    if (!text.endsWith(QStringLiteral("\r\n\r\n")))
        std::abort();
    bool encoded = false;
    const QByteArray bytes = ToCp932(text, &encoded);
    if (encoded) {
        bool decoded = false;
        if (FromCp932(bytes, &decoded) != text || !decoded)
            std::abort();
    } else if (IsCp932Representable(text)) {
        std::abort();
    }
    return 0;
}
