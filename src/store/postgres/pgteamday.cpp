// A team's day on the server: the states of people's days, the leads' comments, and the leads' actions,
// each a call of the server's own function (which checks who calls and records itself).
#include "store/postgres/pgstore.h"

namespace worvane::postgres
{

Result<QList<DayState>> PgStore::dayStates(const RangeSelection &range)
{
    Operation op(m_db);
    Result<QList<DayState>> result;
    QVariantList values{range.from, range.to};
    QString whose;
    switch (range.people.kind) {
    case People::Kind::Own:
        whose = QStringLiteral(" AND WKUSER = session_user");
        break;
    case People::Kind::One:
        values << range.people.name;
        whose = QStringLiteral(" AND WKUSER = $3");
        break;
    case People::Kind::Everyone:
        break;
    }
    // Every saved day has its state: the server writes it in the transaction that saves the day.
    const QString sql =
        QStringLiteral("SELECT WKUSER, WKYMD, STATE FROM WV_DAYSTATE WHERE WKYMD BETWEEN $1 AND $2%1").arg(whose);
    if (!op.open() || !m_db.run(sql, values, [&result](const Row &row) {
            result.value.append({row.text(0), row.text(1), row.text(2)});
            return true;
        }))
        return failed<QList<DayState>>();
    return result;
}

Result<QList<DayComment>> PgStore::dayComments(const QString &person, const QString &date)
{
    Operation op(m_db);
    Result<QList<DayComment>> result;
    if (!op.open() ||
        !m_db.run("SELECT AUTHOR, to_char(WRITTEN, 'YYYY/MM/DD HH24:MI:SS'), BODY FROM WV_COMMENT "
                  "WHERE WKUSER = $1 AND WKYMD = $2 ORDER BY ROWNO",
                  {person, date}, [&result](const Row &row) {
                      result.value.append({row.text(0), row.text(1), row.text(2)});
                      return true;
                  }))
        return failed<QList<DayComment>>();
    return result;
}

Result<DayReview> PgStore::dayReview(const QString &date)
{
    Operation op(m_db);
    Result<DayReview> result;
    DayReview &review = result.value;
    if (!op.open() ||
        !m_db.run("SELECT (SELECT STATE FROM WV_DAYSTATE WHERE WKUSER = session_user AND WKYMD = $1), "
                  "worvane_day_locked(session_user, $1)",
                  {date},
                  [&review](const Row &row) {
                      review.state = row.text(0);
                      review.locked = row.truth(1);
                      return false;
                  }) ||
        !m_db.run("SELECT AUTHOR, to_char(WRITTEN, 'YYYY/MM/DD HH24:MI:SS'), BODY FROM WV_COMMENT "
                  "WHERE WKUSER = session_user AND WKYMD = $1 ORDER BY ROWNO",
                  {date}, [&review](const Row &row) {
                      review.comments.append({row.text(0), row.text(1), row.text(2)});
                      return true;
                  }))
        return failed<DayReview>();
    return result;
}

namespace
{
// One call of a lead's function in a transaction of its own; its answer as text.
template <class Run> bool leadAction(Database &db, Run &&run)
{
    Operation op(db);
    return op.open() && run() && db.commit();
}
} // namespace

Result<QString> PgStore::reviewDay(const QString &person, const QString &date, Verdict verdict, const QString &comment)
{
    std::optional<QString> state;
    const QString said = verdict == Verdict::Approve ? QStringLiteral("承認") : QStringLiteral("差戻し");
    if (!leadAction(m_db, [&] {
            return m_db.first("SELECT worvane_review($1, $2, $3, $4)", {person, date, said, comment}, state);
        }))
        return failed<QString>();
    return {state.value_or(QString()), std::nullopt};
}

Result<int> PgStore::approveMonth(const QString &person, const QString &month)
{
    std::optional<QString> approved;
    if (!leadAction(m_db, [&] { return m_db.first("SELECT worvane_approve_month($1, $2)::text", {person, month}, approved); }))
        return failed<int>();
    return {approved.value_or(QString()).toInt(), std::nullopt};
}

Outcome PgStore::commentDay(const QString &person, const QString &date, const QString &comment)
{
    if (!leadAction(m_db, [&] { return m_db.run("SELECT worvane_comment($1, $2, $3)", {person, date, comment}); }))
        return failed<Done>();
    return {};
}

Outcome PgStore::closeThrough(const QString &date)
{
    if (!leadAction(m_db, [&] { return m_db.run("SELECT worvane_close($1)", {date}); }))
        return failed<Done>();
    return {};
}

Outcome PgStore::reopen(const QString &person, const QString &period)
{
    const QVariant who = person.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(person);
    if (!leadAction(m_db, [&] { return m_db.run("SELECT worvane_reopen($1, $2)", {who, period}); }))
        return failed<Done>();
    return {};
}

} // namespace worvane::postgres
