#pragma once

#include "store/store.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace worvane
{

// A person's day as the team sees it (日報参照): every project of the date with its hours and items, the
// state and the leads' comments, read-only. A lead approves it (承認) or returns it (差戻し) here, with the
// comment typed or none.
class frmDayView : public QDialog
{
    Q_OBJECT
public:
    // person: the login whose day it is (empty: the reader's own, as on a file).
    frmDayView(Store &store, const QString &person, const QString &date, bool lead, QWidget *parent = nullptr);

    static void open(Store &store, const QString &person, const QString &date, bool lead, QWidget *parent);

private:
    void showDay();
    void review(Store::Verdict verdict);

    Store &m_store;
    QString m_person;
    QString m_date;
    QLabel *lblDay;
    QPlainTextEdit *txtDAY;
    QPlainTextEdit *txtCOMMENTS;
    QLineEdit *txtCOMMENT = nullptr;
};

} // namespace worvane
