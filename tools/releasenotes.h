#pragma once

// CHANGELOG.md, the one record of what changed, and what the build makes of it: the Debian changelog
// of the package and the <releases> of the AppStream metadata.
//
// The form it reads: anything before the first "## " heading is an introduction; each release is a
// heading "## VERSION - YYYY-MM-DD", newest first, followed by items that start with "- " and may go
// on over lines indented by two spaces. A heading "## Unreleased" gathers what the next release will
// bring and is left out of both.

#include <QList>
#include <QString>
#include <QStringList>

namespace worvane::release
{

struct Release {
    QString version;
    QString date;      // YYYY-MM-DD
    QStringList items; // each one paragraph, without its "- "
};

struct Changelog {
    QList<Release> releases; // newest first
    QString error;           // "line N: …" where the text breaks the form; empty when it was read
};

Changelog ParseChangelog(const QString &markdown);

// The Debian changelog of every release, lines of at most 80 columns.
QString DebianChangelog(const QList<Release> &releases, const QString &package, const QString &maintainer);

// The AppStream <releases> element, indented by two spaces.
QString AppStreamReleases(const QList<Release> &releases);

// A template with @VERSION@ and @DATE@ (of the newest release) and @RELEASES@ (the AppStream element)
// filled in.
QString FillTemplate(const QString &text, const QList<Release> &releases);

} // namespace worvane::release
