#include "submission/frmdayview.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "core/messages.h"
#include "widgets/fieldrules.h"
#include "widgets/screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace worvane
{

frmDayView::frmDayView(Store &store, const QString &person, const QString &date, bool lead, QWidget *parent)
    : QDialog(parent), m_store(store), m_person(person), m_date(date)
{
    setObjectName(QStringLiteral("frmDayView"));
    setWindowTitle(caption::DayView);
    setFont(ScreenFont(9));
    setFixedSize(Twips(9000), Twips(7200));
    lblDay = MakeLabel(this, "lblDay", QString(), {105, 105, 8790, 240});
    lblDay->setFont(ScreenFont(10, true));
    txtDAY = Make<QPlainTextEdit>(this, "txtDAY");
    txtDAY->setAccessibleName(caption::DayView);
    txtDAY->setReadOnly(true);
    PlaceTwips(txtDAY, 105, 420, 8790, 3900);
    MakeLabel(this, "lblComments", QStringLiteral("コメント"), {105, 4400, 1500, 195});
    txtCOMMENTS = Make<QPlainTextEdit>(this, "txtCOMMENTS");
    txtCOMMENTS->setAccessibleName(QStringLiteral("コメント"));
    txtCOMMENTS->setReadOnly(true);
    PlaceTwips(txtCOMMENTS, 105, 4620, 8790, 1300);
    if (lead) {
        txtCOMMENT = MakeLineEdit(this, "txtCOMMENT", QStringLiteral("コメント"), {105, 6060, 5000, 285});
        txtCOMMENT->setPlaceholderText(QStringLiteral("コメント（承認・差戻しに添えます）"));
        auto *approve = MakeButton(this, "cmdApprove", QStringLiteral("承認"), {5250, 6030, 1100, 345}, 9, false);
        auto *giveBack = MakeButton(this, "cmdReturn", QStringLiteral("差戻し"), {6450, 6030, 1100, 345}, 9, false);
        connect(approve, &QPushButton::clicked, this, [this] { review(Store::Verdict::Approve); });
        connect(giveBack, &QPushButton::clicked, this, [this] { review(Store::Verdict::Return); });
    }
    auto *close = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {7650, 6600, 1245, 345}, 9.75, false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    showDay();
}

void frmDayView::open(Store &store, const QString &person, const QString &date, bool lead, QWidget *parent)
{
    frmDayView view(store, person, date, lead, parent);
    view.exec();
    ReturnFocusTo(parent);
}

void frmDayView::showDay()
{
    const People people = m_person.isEmpty() ? People{} : People::one(m_person);
    const RangeSelection day{m_date, m_date, std::nullopt, people};
    struct Read {
        QList<StoredDay> days;
        Outcome read;
        Result<QList<DayState>> states;
        Result<QList<DayComment>> comments;
    };
    const Read got = CallStore(this, m_store, [&] {
        Read r;
        r.read = m_store.forEachDay(day, [&r](const StoredDay &d) {
            r.days.append(d);
            return true;
        });
        r.states = m_store.dayStates(day);
        if (!m_person.isEmpty())
            r.comments = m_store.dayComments(m_person, m_date);
        return r;
    });
    for (const std::optional<StoreError> &error : {got.read.error, got.states.error, got.comments.error})
        if (error) {
            MessagePresenter::show(this, caption::DayView, FailureMessage(*error, m_store.name(), msg::LoadFailed));
            break;
        }
    const QString state = got.states.value.isEmpty() ? QString() : got.states.value.first().state;
    lblDay->setText(QStringLiteral("%1　%2　%3").arg(m_person.isEmpty() ? QStringLiteral("自分") : m_person, m_date, state));
    QString text;
    for (const StoredDay &d : got.days) {
        text += QStringLiteral("%1 %2　%3～%4\n").arg(d.summary.code, d.summary.name, d.summary.startTime, d.summary.endTime);
        for (const WorkItem &item : d.items) {
            text += QStringLiteral("  %1 %2\n").arg(item.code, item.head);
            for (const QString &line : QString(item.detail).remove(u'\r').split(u'\n'))
                text += QStringLiteral("      %1\n").arg(line);
        }
        text += QLatin1Char('\n');
    }
    txtDAY->setPlainText(got.days.isEmpty() ? QStringLiteral("（保存された日報はありません）") : text);
    QStringList comments;
    for (const DayComment &c : got.comments.value)
        comments << QStringLiteral("%1　%2\n%3").arg(c.author, c.written, c.text);
    txtCOMMENTS->setPlainText(comments.join(QStringLiteral("\n\n")));
}

void frmDayView::review(Store::Verdict verdict)
{
    const QString comment = txtCOMMENT ? txtCOMMENT->text().trimmed() : QString();
    const Result<QString> done =
        CallStore(this, m_store, [&] { return m_store.reviewDay(m_person, m_date, verdict, comment); });
    if (!done.ok()) {
        MessagePresenter::show(this, caption::DayView, FailureMessage(*done.error, m_store.name(), msg::SaveFailed));
        return;
    }
    if (txtCOMMENT)
        txtCOMMENT->clear();
    showDay();
}

} // namespace worvane
