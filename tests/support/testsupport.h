#pragma once

#include "app/messagepresenter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace worvane::test
{

// A new database file with the three tables (and the demo projects when asked) at path.
void makeDatabase(const QString &path, bool demo = false);

// Runs SQL straight against a database file, outside the program's store; rows of values.
QList<QVariantList> sql(const QString &path, const QString &statement, const QVariantList &values = {});

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// A 64 KiB tmpfs mounted on folder (created if need be) while it lives; mounted() is false where the
// system does not allow it (not root, or in a container without the right). fill() writes a file that
// takes every block left, so that the next write of even one byte fails with "no space".
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    void fill();

private:
    QString m_folder;
    bool m_mounted = false;
};

// Takes every message the program shows while it lives; questions get the answers queued with
// answer(), No when none is queued.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    void answer(bool yes) { m_answers.append(yes); }
    const QList<MessageRequest> &messages() const { return m_messages; }
    QStringList texts() const;
    int count() const { return int(m_messages.size()); }
    const MessageRequest &last() const { return m_messages.last(); }
    void clear() { m_messages.clear(); }

private:
    QList<MessageRequest> m_messages;
    QList<bool> m_answers;
};

} // namespace worvane::test
