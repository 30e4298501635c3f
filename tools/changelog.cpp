// worvane-changelog: what the build makes of CHANGELOG.md (not installed).
//   worvane-changelog CHANGELOG VERSION debian PACKAGE MAINTAINER OUT   the package's Debian changelog
//   worvane-changelog CHANGELOG VERSION fill TEMPLATE OUT               @VERSION@, @DATE@, @RELEASES@
// VERSION is the project's; the newest release in CHANGELOG must be that one, so that a new version
// cannot be built without its entry.
#include "releasenotes.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

using namespace worvane::release;

namespace
{
int Fail(const QString &why)
{
    QTextStream(stderr) << "worvane-changelog: " << why << "\n";
    return 1;
}

bool Read(const QString &path, QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    text = QString::fromUtf8(file.readAll());
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool debian = args.size() == 6 && args.at(2) == QLatin1String("debian");
    const bool fill = args.size() == 5 && args.at(2) == QLatin1String("fill");
    if (!debian && !fill)
        return Fail(
            QStringLiteral("usage: worvane-changelog CHANGELOG VERSION debian PACKAGE MAINTAINER OUT\n"
                           "       worvane-changelog CHANGELOG VERSION fill TEMPLATE OUT"));

    QString markdown;
    if (!Read(args.at(0), markdown))
        return Fail(QStringLiteral("cannot read %1").arg(args.at(0)));
    const Changelog changelog = ParseChangelog(markdown);
    if (!changelog.error.isEmpty())
        return Fail(QStringLiteral("%1: %2").arg(args.at(0), changelog.error));
    if (changelog.releases.first().version != args.at(1))
        return Fail(QStringLiteral("the newest release in %1 is %2, the project's version is %3: give %3 its "
                                   "entry")
                        .arg(args.at(0), changelog.releases.first().version, args.at(1)));

    QString text;
    if (debian) {
        text = DebianChangelog(changelog.releases, args.at(3), args.at(4));
    } else {
        QString templateText;
        if (!Read(args.at(3), templateText))
            return Fail(QStringLiteral("cannot read %1").arg(args.at(3)));
        text = FillTemplate(templateText, changelog.releases);
    }
    QSaveFile out(args.last());
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit())
        return Fail(QStringLiteral("cannot write %1").arg(args.last()));
    return 0;
}
