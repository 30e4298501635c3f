#include "releasenotes.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

namespace worvane::release
{

namespace
{
// East Asian characters take two columns of a terminal, and a line may break before or after them.
bool IsWide(QChar c)
{
    return c.unicode() >= 0x1100;
}

// Closing marks that never start a line.
bool IsClosing(QChar c)
{
    return QStringView(u"、。，．）」』】・ー").contains(c);
}

// The text in lines of at most width columns, broken at the last space that fits, else between East
// Asian characters; a word longer than a line stays whole.
QStringList Wrap(const QString &text, int width)
{
    QStringList lines;
    QString line;
    int columns = 0;
    qsizetype atSpace = -1; // where the next line may start within line: after a space,
    qsizetype atWide = -1;  // or before or after a wide character
    const auto add = [&](QChar c, const auto &self) -> void {
        if (c == QLatin1Char(' ')) {
            if (!line.isEmpty() && !line.endsWith(c)) {
                line += c;
                ++columns;
                atSpace = line.size();
            }
            return;
        }
        if (!line.isEmpty() && !IsClosing(c) && (IsWide(c) || IsWide(line.back())))
            atWide = line.size();
        const int w = IsWide(c) ? 2 : 1;
        if (const qsizetype at = atSpace > 0 ? atSpace : atWide; columns + w > width && at > 0) {
            lines << line.left(at).trimmed();
            const QString rest = line.mid(at);
            line.clear();
            columns = 0;
            atSpace = atWide = -1;
            for (const QChar kept : rest) // fits on the new line, and may break again later
                self(kept, self);
        }
        line += c;
        columns += w;
    };
    for (const QChar c : text)
        add(c, add);
    if (!line.trimmed().isEmpty())
        lines << line.trimmed();
    return lines;
}

} // namespace

Changelog ParseChangelog(const QString &markdown)
{
    static const QRegularExpression heading(QStringLiteral(R"(^## +(\S+) +- +(\d{4}-\d\d-\d\d) *$)"));
    Changelog result;
    enum class Section { Introduction, Unreleased, Release } section = Section::Introduction;
    bool inItem = false;
    qsizetype headingLine = 0;
    QSet<QString> versions;
    const auto fail = [&result](qsizetype line, const QString &why) {
        result.releases.clear();
        result.error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return result;
    };
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i <= lines.size(); ++i) {
        const bool end = i == lines.size();
        QString line = end ? QString() : lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (end || line.startsWith(QLatin1String("## "))) {
            if (section == Section::Release && result.releases.last().items.isEmpty())
                return fail(headingLine, QStringLiteral("a release without items"));
            if (end)
                break;
            inItem = false;
            headingLine = i + 1;
            if (line.mid(3).trimmed().compare(QLatin1String("Unreleased"), Qt::CaseInsensitive) == 0) {
                if (section != Section::Introduction)
                    return fail(i + 1, QStringLiteral("\"## Unreleased\" comes before every release"));
                section = Section::Unreleased;
                continue;
            }
            const QRegularExpressionMatch match = heading.match(line);
            if (!match.hasMatch() || !QDate::fromString(match.captured(2), Qt::ISODate).isValid())
                return fail(i + 1, QStringLiteral("a release heading is \"## VERSION - YYYY-MM-DD\""));
            Release release{match.captured(1), match.captured(2), {}};
            if (versions.contains(release.version))
                return fail(i + 1, QStringLiteral("%1 is there twice").arg(release.version));
            if (!result.releases.isEmpty() && release.date > result.releases.last().date)
                return fail(i + 1, QStringLiteral("the releases are not newest first"));
            versions.insert(release.version);
            result.releases.append(release);
            section = Section::Release;
            continue;
        }
        if (section != Section::Release)
            continue;
        if (line.trimmed().isEmpty()) {
            inItem = false;
        } else if (line.startsWith(QLatin1String("- "))) {
            result.releases.last().items.append(line.mid(2).trimmed().remove(QLatin1Char('`')));
            inItem = true;
        } else if (inItem && line.startsWith(QLatin1String("  "))) {
            result.releases.last().items.last() += QLatin1Char(' ') + line.trimmed().remove(QLatin1Char('`'));
        } else {
            return fail(i + 1, QStringLiteral("a release holds only items that start with \"- \""));
        }
    }
    if (result.releases.isEmpty())
        return fail(lines.size(), QStringLiteral("no release"));
    return result;
}

QString DebianChangelog(const QList<Release> &releases, const QString &package, const QString &maintainer)
{
    QString text;
    for (const Release &release : releases) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QStringLiteral("%1 (%2) unstable; urgency=medium\n\n").arg(package, release.version);
        for (const QString &item : release.items) {
            const QStringList lines = Wrap(item, 76);
            for (qsizetype i = 0; i < lines.size(); ++i)
                text += (i == 0 ? QLatin1String("  * ") : QLatin1String("    ")) + lines.at(i) +
                        QLatin1Char('\n');
        }
        const QDate date = QDate::fromString(release.date, Qt::ISODate);
        text += QStringLiteral("\n -- %1  %2 00:00:00 +0000\n")
                    .arg(maintainer, QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy")));
    }
    return text;
}

QString AppStreamReleases(const QList<Release> &releases)
{
    QString xml = QStringLiteral("  <releases>\n");
    for (const Release &release : releases) {
        xml += QStringLiteral("    <release version=\"%1\" date=\"%2\">\n"
                              "      <description>\n"
                              "        <ul>\n")
                   .arg(release.version.toHtmlEscaped(), release.date);
        for (const QString &item : release.items)
            xml += QStringLiteral("          <li>%1</li>\n").arg(item.toHtmlEscaped());
        xml += QStringLiteral("        </ul>\n"
                              "      </description>\n"
                              "    </release>\n");
    }
    return xml + QStringLiteral("  </releases>");
}

QString FillTemplate(const QString &text, const QList<Release> &releases)
{
    return QString(text)
        .replace(QLatin1String("@VERSION@"), releases.first().version)
        .replace(QLatin1String("@DATE@"), releases.first().date)
        .replace(QLatin1String("@RELEASES@"), AppStreamReleases(releases));
}

} // namespace worvane::release
