// The settings file is edited by hand: any bytes must read without harm, values stay within 199 bytes,
// and writing the default code then reading it back gives that code.
#include "app/inictrl.h"
#include "core/cp932.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace worvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    struct TemporaryFile {
        QString path = QDir::temp().filePath(QStringLiteral("worvane-fuzz-%1.ini").arg(::getpid()));
        ~TemporaryFile() { QFile::remove(path); }
    };
    static const TemporaryFile temporary;
    const QString &path = temporary.path;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    for (const auto &[section, key] : {std::pair{"MDB Path", "Path"}, std::pair{"Default Value", "PJCode"}}) {
        const QString value = GetIniString(QString::fromLatin1(section), QString::fromLatin1(key), path);
        if (Cp932Length(value) > IniValueMaxBytes && value.toUtf8().size() > IniValueMaxBytes)
            std::abort();
    }
    if (WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), QStringLiteral("A0012345"),
                       path) &&
        GetIniString(QStringLiteral("default value"), QStringLiteral("pjcode"), path) !=
            QStringLiteral("A0012345"))
        std::abort();
    return 0;
}
