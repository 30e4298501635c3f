#pragma once

#include "core/holidays.h"
#include "store/store.h"

#include <QDate>
#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace worvane
{

class SubmissionModel;

// The team's month at a glance (提出状況): a row per person, a column per day, each day 未入力, 提出済,
// 承認済, 差戻し or nothing on a day off, and each person's counts. A member sees their own row, a lead
// everyone in the team; on a file, the reader's own 未入力 days. PageUp and PageDown step a month; Enter on
// a day opens it (日報参照), where a lead approves or returns it; 月を承認 approves every submitted day of
// the current row's person in the month (a lead's).
class frmSubmission : public QDialog
{
    Q_OBJECT
public:
    frmSubmission(Store &store, const DaysOff &daysOff, const QDate &month, QWidget *parent = nullptr);

    static void open(Store &store, const DaysOff &daysOff, const QDate &month, QWidget *parent);

    void showMonth(const QDate &month);

private:
    void fitColumns();
    Store &m_store;
    DaysOff m_daysOff;
    SubmissionModel *m_model;
    bool m_lead = false;
    QLabel *lblMonth;
    QTableView *fgdSTATUS;
    QPushButton *cmdApproveMonth;
};

} // namespace worvane
