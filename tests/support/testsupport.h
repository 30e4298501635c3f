#pragma once

#include "app/messagepresenter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace worvane::test
{

// A new database file with the three tables (and the demo projects when asked) at path.
void makeDatabase(const QString &path, bool demo = false);

// The engine the store tests run against: a SQLite file, or with WORVANE_TEST_SERVER set (the folder of
// the throwaway cluster that tests/support/pgcluster.sh started) a PostgreSQL server.
bool onServer();
// A new, set-up database named name: a file in folder, or on the server a database of its own that the
// person `person` (a login role in worvane_user; "lea" is in worvane_lead) reaches.
QString freshDatabase(const QString &folder, const QString &name, bool demo = false,
                      const QString &person = QStringLiteral("alice"));
// The same database as another person sees it (on a file: the same path).
QString asPerson(const QString &database, const QString &person);
// The cluster's superuser, for what no person may do (stopping the server's connections).
QString serverAdmin(const QString &database);

// A connection of another program (Qt SQL) to a database, outside the program's store: a file, or on a
// server as the URI's person. Statements are in the database's own words.
class Session
{
public:
    explicit Session(const QString &database);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // False on failure (error() says why); the rows when asked for.
    bool exec(const QString &statement, const QVariantList &values = {}, QList<QVariantList> *rows = nullptr);
    // The first column of the first row; the test stops when the statement fails.
    QVariant first(const QString &statement, const QVariantList &values = {});
    QString error() const { return m_error; }

private:
    QString m_name;
    QString m_error;
};

// A store result's failure in words, or nothing when it went well (for a test's message).
template <class Result> QString why(const Result &result)
{
    return result.error ? result.error->text : QString();
}

// The column that holds the order rows were stored in: SQLite's rowid, the team database's ROWNO.
QString rowOrder(const QString &database);

// Runs SQL straight against a database in a session of its own; rows of values. The statement must read
// alike to both engines, or be given in each one's words.
QList<QVariantList> sql(const QString &path, const QString &statement, const QVariantList &values = {});
QList<QVariantList> sql(const QString &path, const QString &sqliteWords, const QString &postgresWords,
                        const QVariantList &values);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// A tmpfs of 64 KiB (or the size given) mounted on folder (created if need be) while it lives; mounted()
// is false where the system does not allow it (not root, or in a container without the right). fill()
// writes a file that takes every block left but the bytes asked to be left, so that with none left the
// next write of even one byte fails with "no space".
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder, int kilobytes = 64);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    void fill(qint64 leaveBytes = 0);

private:
    QString m_folder;
    bool m_mounted = false;
};

// Runs act on the modal window that the program opens next, once it is open: a window may read its
// database before it shows, and a call to the database lets the event loop turn meanwhile, so the first
// turn of the loop is not yet the window's.
void whenModal(const std::function<void(QWidget *)> &act);

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
