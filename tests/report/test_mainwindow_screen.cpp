#include "core/messages.h"
#include "widgets/bytelimit.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"
#include "store/store.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace worvane;
using namespace worvane::test;
using worvane::test::WindowFixture;

namespace
{
struct Control {
    const char *name;
    const char *caption; // nullptr: not checked
};

// Every control with its caption.
const Control controls[] = {
    {"lblPJCode", "PJコード"},     {"txtPJCODE", nullptr},
    {"cmdCallPJViewer", "…"},      {"lblPJNAME", ""},
    {"lblDate", "日付"},           {"txtWKYMD", nullptr},
    {"cmdCallCalendar", "…"},      {"cmdSerch", "検索"},
    {"fraPanel", nullptr},         {"lblWorkTime", "就労時間"},
    {"txtWSTIME", nullptr},        {"lblTo", "～"},
    {"txtWETIME", nullptr},        {"fgdWKCONT", nullptr},
    {"lblWorkCode", "作業項目№"},  {"txtWKCODE", nullptr},
    {"cmdAddWork", "行追加[F5]"},  {"cmdUpdWork", "行変更[F6]"},
    {"cmdDelWork", "行削除[F9]"},  {"lblWorkHeader", "作業項目"},
    {"txtWKHEAD", nullptr},        {"lblDetail", "作業内容"},
    {"txtDETAIL", nullptr},        {"lblF1", "Ｆ１"},
    {"cmdUpdate", "更　新"},       {"lblF2", "Ｆ２"},
    {"cmdOutput", "レポート出力"}, {"lblF3", "Ｆ３"},
    {"cmdCancel", "キャンセル"},   {"lblF4", "Ｆ４"},
    {"cmdClose", "閉じる"},        {"lblF7", "Ｆ７"},
    {"cmdMonth", "月報"},          {"lblF8", "Ｆ８"},
    {"cmdSearch", "全文検索"},     {"lblF10", "Ｆ１０"},
    {"cmdHistory", "履歴"},        {"lblF11", "Ｆ１１"},
    {"cmdCopyLast", "前回の写し"}, {"lblF12", "Ｆ１２"},
    {"cmdSubmission", "提出状況"},
};

const QStringList panelControls{"lblWorkTime",   "txtWSTIME", "lblTo",      "txtWETIME",  "fgdWKCONT",
                                "lblWorkCode",   "txtWKCODE", "cmdAddWork", "cmdUpdWork", "cmdDelWork",
                                "lblWorkHeader", "txtWKHEAD", "lblDetail",  "txtDETAIL"};

const QStringList tabOrder{"txtPJCODE",  "cmdCallPJViewer", "txtWKYMD",     "cmdCallCalendar", "cmdSerch",
                           "txtWSTIME",  "txtWETIME",       "fgdWKCONT",    "txtWKCODE",       "cmdAddWork",
                           "cmdUpdWork", "cmdDelWork",      "txtWKHEAD",    "txtDETAIL",       "cmdUpdate",
                           "cmdOutput",  "cmdCancel",       "cmdClose",     "cmdMonth",        "cmdSearch",
                           "cmdHistory", "cmdCopyLast",     "cmdSubmission"};

// What a key or a click did: the window it opened (closed again as soon as it is up) | what was said | the
// start time | the number of items | the control with the focus.
QString outcome(WindowFixture &f, const std::function<void()> &act)
{
    QString opened;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        poll.stop();
        const auto close = qScopeGuard([modal] { modal->reject(); });
        opened = modal->windowTitle();
        QTRY_VERIFY(modal->isActiveWindow());
    });
    poll.start(5);
    f.log().clear();
    act();
    poll.stop();
    return QStringList{opened, f.log().texts().join(u'/'), lineOf(f.w(), "txtWSTIME")->text(),
                       QString::number(f.listRows().size()), WindowFixture::focus()->objectName()}
        .join(u'|');
}
const QString Nothing = QStringLiteral("|||0|txtPJCODE");

QString captionOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    return QString();
}
} // namespace

class TestMainWindowScreen : public QObject
{
    Q_OBJECT

private slots:
    void everyControlHasItsCaptionAndTabOrder()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        QCOMPARE(w.windowTitle(), QStringLiteral("ワーベーン"));
        QCOMPARE(w.size(), QSize(Twips(9495), Twips(6030 + 765 + 255))); // a second key row, a status line
        QCOMPARE(w.minimumSize(), w.maximumSize());
        for (const Control &c : controls) {
            auto *widget = w.findChild<QWidget *>(QString::fromLatin1(c.name));
            QVERIFY2(widget, c.name);
            QVERIFY2(w.rect().contains(widget->mapTo(&w, widget->rect().bottomRight())), c.name);
            if (c.caption)
                QCOMPARE(captionOf(widget), QString::fromUtf8(c.caption));
            const bool inPanel = panelControls.contains(QString::fromLatin1(c.name));
            QCOMPARE(widget->parentWidget(), inPanel ? static_cast<QWidget *>(panelOf(w)) : &w);
        }
        // Inputs, lists and buttons can be found by screen readers under their captions.
        for (const QString &name : tabOrder)
            QVERIFY2(!w.findChild<QWidget *>(name)->accessibleName().isEmpty(), qPrintable(name));
        QVERIFY(labelOf(w, "lblPJNAME")->accessibleName().isEmpty());
        // The title field shows all of its 40 full-width characters.
        lineOf(w, "txtWKHEAD")->setText(QStringLiteral("あ").repeated(40));
        QVERIFY(lineOf(w, "txtWKHEAD")->fontMetrics().horizontalAdvance(lineOf(w, "txtWKHEAD")->text()) + 8 <=
                lineOf(w, "txtWKHEAD")->width());

        // Pale cyan function-key labels, centred, above their buttons.
        const std::pair<const char *, const char *> keys[] = {
            {"lblF1", "cmdUpdate"},   {"lblF2", "cmdOutput"},    {"lblF3", "cmdCancel"},
            {"lblF4", "cmdClose"},    {"lblF7", "cmdMonth"},     {"lblF8", "cmdSearch"},
            {"lblF10", "cmdHistory"}, {"lblF11", "cmdCopyLast"}, {"lblF12", "cmdSubmission"}};
        for (const auto &[label, button] : keys) {
            QLabel *l = labelOf(w, label);
            QCOMPARE(l->palette().color(QPalette::Window), QColor(192, 255, 255));
            QVERIFY(l->autoFillBackground());
            QCOMPARE(l->alignment(), Qt::AlignCenter);
            const QRect b = buttonOf(w, button)->geometry();
            QVERIFY2(b.top() > l->geometry().bottom() && b.top() - l->geometry().bottom() <= 2 &&
                         qAbs(b.center().x() - l->geometry().center().x()) <= 1,
                     label);
            QVERIFY(buttonOf(w, button)->font().bold());
        }
        // The first row where it always was, the second under it, the status line under both.
        QCOMPARE(buttonOf(w, "cmdUpdate")->geometry(), TwipsRect(907, 5430, 1350, 500));
        QVERIFY(labelOf(w, "lblF7")->y() > buttonOf(w, "cmdUpdate")->geometry().bottom());
        QVERIFY(labelOf(w, "lblStatus")->y() > buttonOf(w, "cmdSubmission")->geometry().bottom());
        for (const char *name : {"cmdMonth", "cmdSearch", "cmdHistory", "cmdCopyLast", "cmdSubmission"})
            QVERIFY2(!buttonOf(w, name)->toolTip().isEmpty(), name);

        // The tab order, from the code field round to it again (panel enabled, so nothing is skipped).
        w.SetPanelEnabled(true);
        QStringList order;
        QWidget *at = lineOf(w, "txtPJCODE");
        do {
            order << at->objectName();
            do
                at = at->nextInFocusChain();
            while ((at->focusPolicy() & Qt::TabFocus) == 0 || at->window() != &w ||
                   at->objectName().isEmpty() || at->objectName().startsWith(QLatin1String("qt_")));
        } while (at != lineOf(w, "txtPJCODE") && order.size() < 40);
        QCOMPARE(order, tabOrder);
    }

    void startStateAndCancel()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        auto verifyStartState = [&] {
            QCOMPARE(lineOf(w, "txtPJCODE")->text(), QStringLiteral("A0012345"));
            QCOMPARE(lineOf(w, "txtWKYMD")->text(), QStringLiteral("2024/03/01"));
            QCOMPARE(labelOf(w, "lblPJNAME")->text(), QString());
            for (QLineEdit *e : {lineOf(w, "txtWSTIME"), lineOf(w, "txtWETIME"), lineOf(w, "txtWKCODE"),
                                 lineOf(w, "txtWKHEAD")})
                QCOMPARE(e->text(), QString());
            QCOMPARE(detailOf(w)->toPlainText(), QString());
            QCOMPARE(gridOf(w)->model()->rowCount(), 0);
            QCOMPARE(gridOf(w)->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("項目"));
            QCOMPARE(gridOf(w)->model()->headerData(1, Qt::Horizontal).toString(),
                     QStringLiteral("作業項目"));
            QCOMPARE(gridOf(w)->model()->headerData(2, Qt::Horizontal).toString(),
                     QStringLiteral("作業内容"));
            QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::Empty);
            for (QWidget *x : std::initializer_list<QWidget *>{
                     panelOf(w), buttonOf(w, "cmdAddWork"), buttonOf(w, "cmdUpdWork"),
                     buttonOf(w, "cmdDelWork"), buttonOf(w, "cmdUpdate"), buttonOf(w, "cmdOutput")})
                QVERIFY2(!x->isEnabled(), qPrintable(x->objectName()));
            QVERIFY(buttonOf(w, "cmdSerch")->isEnabled() && buttonOf(w, "cmdCancel")->isEnabled() &&
                    buttonOf(w, "cmdClose")->isEnabled());
            // Disabled, but the text fields and the list are not greyed; the buttons are.
            QCOMPARE(lineOf(w, "txtWSTIME")->palette().color(QPalette::Disabled, QPalette::Text),
                     lineOf(w, "txtWSTIME")->palette().color(QPalette::Active, QPalette::Text));
            QCOMPARE(gridOf(w)->palette().color(QPalette::Disabled, QPalette::Text),
                     gridOf(w)->palette().color(QPalette::Active, QPalette::Text));
            QVERIFY(buttonOf(w, "cmdAddWork")->palette().color(QPalette::Disabled, QPalette::ButtonText) !=
                    buttonOf(w, "cmdAddWork")->palette().color(QPalette::Active, QPalette::ButtonText));
        };
        verifyStartState();
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtPJCODE"));

        f.search(QStringLiteral("A0012346"), QStringLiteral("20240302"));
        QVERIFY(panelOf(w)->isEnabled());
        WindowFixture::type(QStringLiteral("0900"));
        WindowFixture::press(Qt::Key_Tab);
        WindowFixture::type(QStringLiteral("1800"));
        f.addItem(QStringLiteral("1"), QStringLiteral("題"), QStringLiteral("内容"));
        QCOMPARE(gridOf(w)->model()->rowCount(), 1);
        WindowFixture::press(Qt::Key_F3);
        verifyStartState();
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtPJCODE"));
        QCOMPARE(lineOf(w, "txtPJCODE")->selectedText(), QStringLiteral("A0012345"));
        QCOMPARE(f.log().count(), 0);
    }

    void withoutADefaultCodeTheCodeFieldStartsEmpty()
    {
        WindowFixture f{QString()};
        QCOMPARE(lineOf(f.w(), "txtPJCODE")->text(), QString());
    }

    void functionKeysFollowTheState()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        // Header state: F1, F2, F5, F6, F9 do nothing at all.
        for (Qt::Key key : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F5, Qt::Key_F6, Qt::Key_F9})
            WindowFixture::press(key);
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(gridOf(w)->model()->rowCount(), 0);

        // Editing state: F9 on an empty list speaks; Shift+F1 saves like F1 (the question, answered No).
        f.search(QStringLiteral("A0012345"), QStringLiteral("20240301"));
        WindowFixture::press(Qt::Key_F9, Qt::ControlModifier);
        QCOMPARE(f.log().texts(), QStringList{msg::NothingToDelete.text});
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("09:00"));
        lineOf(w, "txtWETIME")->setText(QStringLiteral("18:00"));
        f.log().clear();
        WindowFixture::press(Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(f.log().count(), 1);
        QCOMPARE(f.log().last().kind, MessageKind::Question);
        // The key acted without moving the focus.
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWSTIME"));

        // F4 closes from either state, without a question.
        f.log().clear();
        WindowFixture::press(Qt::Key_F4);
        QVERIFY(!w.isVisible());
        QCOMPARE(f.log().count(), 0);
    }

    // The second row's buttons: each enabled exactly when its key acts, and a click does what the key does
    // (the window opens, the day is put on the screen) and leaves the focus where the key leaves it.
    void secondRowButtonsDoWhatTheirKeysDo_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        // What the key did: the window it opened | what was said | the start time | the items | the focus.
        QTest::addColumn<QString>("beforeSearch");
        QTest::addColumn<QString>("onADay");
        QTest::newRow("F7") << "cmdMonth" << int(Qt::Key_F7) << "月報|||0|txtPJCODE"
                            << "月報|||0|txtWSTIME";
        QTest::newRow("F8") << "cmdSearch" << int(Qt::Key_F8) << "全文検索|||0|txtPJCODE"
                            << "全文検索|||0|txtWSTIME";
        QTest::newRow("F10") << "cmdHistory" << int(Qt::Key_F10) << Nothing << "履歴|||0|txtWSTIME";
        QTest::newRow("F11") << "cmdCopyLast" << int(Qt::Key_F11) << Nothing << "||09:00|1|txtWSTIME";
        QTest::newRow("F12") << "cmdSubmission" << int(Qt::Key_F12) << "提出状況|||0|txtPJCODE"
                             << "提出状況|||0|txtWSTIME";
    }

    void secondRowButtonsDoWhatTheirKeysDo()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(QString, beforeSearch);
        QFETCH(QString, onADay);
        WindowFixture f;
        QVERIFY(
            f.store().saveDay({"A0012345", "2024/02/27", "09:00", "18:00", {{"1", "定例", "週次"}}}).ok());
        QPushButton *b = buttonOf(f.w(), qPrintable(button));
        const auto byKey = [key] { WindowFixture::press(Qt::Key(key)); };
        const auto byMouse = [b] {
            QTest::mouseClick(b, Qt::LeftButton);
            WindowFixture::settle();
        };

        QCOMPARE(b->isEnabled(), beforeSearch != Nothing);
        QCOMPARE(outcome(f, byKey), beforeSearch);
        QCOMPARE(outcome(f, byMouse), beforeSearch);

        const auto openDay = [&] { f.search(QStringLiteral("A0012345"), QStringLiteral("20240301")); };
        openDay();
        QVERIFY(b->isEnabled());
        QCOMPARE(outcome(f, byKey), onADay);
        openDay();
        QCOMPARE(outcome(f, byMouse), onADay);

        WindowFixture::press(Qt::Key_F3);
        QCOMPARE(b->isEnabled(), beforeSearch != Nothing);
    }

    void typingLimitsCountShiftJisBytes()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        w.SetPanelEnabled(true);
        struct Limit {
            QLineEdit *field;
            int bytes;
        };
        for (const Limit &limit : {Limit{lineOf(w, "txtPJCODE"), 8}, Limit{lineOf(w, "txtWKYMD"), 10},
                                   Limit{lineOf(w, "txtWKCODE"), 2}, Limit{lineOf(w, "txtWKHEAD"), 80},
                                   Limit{lineOf(w, "txtWSTIME"), 4}, Limit{lineOf(w, "txtWETIME"), 4}}) {
            limit.field->setFocus();
            WindowFixture::settle();
            limit.field->clear();
            WindowFixture::type(QString(limit.bytes + 3, QLatin1Char('1')));
            QCOMPARE(limit.field->text().size(), limit.bytes);
            if (limit.field != lineOf(w, "txtWETIME"))
                limit.field->clear(); // an empty start and a filled end pass the order check
        }
        // Full-width characters count two: 40 fill the title, a 41st is refused.
        lineOf(w, "txtWKHEAD")->setFocus();
        lineOf(w, "txtWKHEAD")->clear();
        WindowFixture::type(QString(41, QChar(0x4F5C)));
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QString(40, QChar(0x4F5C)));
        // The detail holds 255 bytes, a line break counting two.
        detailOf(w)->setFocus();
        WindowFixture::settle();
        WindowFixture::type(QString(250, QLatin1Char('x')));
        WindowFixture::press(Qt::Key_Return);
        WindowFixture::type(QStringLiteral("abcdef"));
        QCOMPARE(detailOf(w)->textCrLf(), QString(250, QLatin1Char('x')) + QStringLiteral("\r\nabc"));
        // Text set by the program is never cut: a time field limited to 4 holds HH:MM.
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("09:30"));
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("09:30"));
    }

    void codeFieldIsTidiedAndLookedUpOnLeaving()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        lineOf(w, "txtPJCODE")->clear();
        WindowFixture::type(QStringLiteral(" a001234"));
        WindowFixture::press(Qt::Key_Tab);
        QCOMPARE(lineOf(w, "txtPJCODE")->text(), QStringLiteral("A001234"));
        QCOMPARE(labelOf(w, "lblPJNAME")->text(), QString());

        lineOf(w, "txtPJCODE")->setFocus();
        lineOf(w, "txtPJCODE")->clear();
        WindowFixture::type(QStringLiteral("a0012345 "));
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKYMD"));
        QCOMPARE(lineOf(w, "txtPJCODE")->text(), QStringLiteral("A0012345"));
        QCOMPARE(labelOf(w, "lblPJNAME")->text(), QStringLiteral("ワーベーン開発"));

        // A missing code, and an empty one, leave the name shown.
        for (const QString &code : {QStringLiteral("NOPE"), QStringLiteral("   ")}) {
            lineOf(w, "txtPJCODE")->setFocus();
            lineOf(w, "txtPJCODE")->setText(code);
            WindowFixture::press(Qt::Key_Tab);
            QCOMPARE(labelOf(w, "lblPJNAME")->text(), QStringLiteral("ワーベーン開発"));
        }
        QCOMPARE(lineOf(w, "txtPJCODE")->text(), QString());
        QCOMPARE(f.log().count(), 0);

        // The database cannot be read: the name stays, and the search that follows says so (once).
        QVERIFY(QFile::rename(f.dbPath(), f.filePath(QStringLiteral("gone.mdb"))));
        lineOf(w, "txtPJCODE")->setFocus();
        lineOf(w, "txtPJCODE")->setText(QStringLiteral("A0012346"));
        WindowFixture::press(Qt::Key_Tab);
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(labelOf(w, "lblPJNAME")->text(), QStringLiteral("ワーベーン開発"));
    }

    // The wiring of the date field: its key filter, arrow keys and leave rule (the rules' own table
    // is in tests/rules).
    void dateFieldTakesDigitsStepsAndReshapes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::newRow("letters, slashes, hyphens dropped") << "2024/a-0105" << 0 << "2024/01/05";
        QTest::newRow("up across a leap February") << "20240301" << int(Qt::Key_Up) << "2024/02/29";
        QTest::newRow("down across a month") << "20230228" << int(Qt::Key_Down) << "2023/03/01";
        QTest::newRow("seven digits do not step") << "2024030" << int(Qt::Key_Up) << "2024/03/30";
    }
    void dateFieldTakesDigitsStepsAndReshapes()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, after);
        WindowFixture f;
        frmWorvane &w = f.w();
        lineOf(w, "txtWKYMD")->setFocus();
        lineOf(w, "txtWKYMD")->clear();
        WindowFixture::type(typed);
        if (key) {
            WindowFixture::press(Qt::Key(key));
            // Stepped text has no "/" until the field is left.
            if (typed.size() == 8)
                QCOMPARE(lineOf(w, "txtWKYMD")->text(), QString(after).remove(QLatin1Char('/')));
        }
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(WindowFixture::focus(), buttonOf(w, "cmdSerch"));
        QCOMPARE(lineOf(w, "txtWKYMD")->text(), after);
    }

    void timesAreFormattedAndCheckedOnLeaving()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(QStringLiteral("A0012345"), QStringLiteral("20240301"));
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWSTIME"));

        WindowFixture::type(QStringLiteral("9:3a0")); // ":" and letters are not taken
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("09:30"));
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWETIME"));
        WindowFixture::type(QStringLiteral("1830"));
        // Enter with an empty list passes over it to the item number.
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(lineOf(w, "txtWETIME")->text(), QStringLiteral("18:30"));
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKCODE"));
        QCOMPARE(f.log().count(), 0);

        // 0 gives 00:00; start after end: one warning, then the start field.
        lineOf(w, "txtWSTIME")->setFocus();
        lineOf(w, "txtWSTIME")->selectAll();
        WindowFixture::type(QStringLiteral("0"));
        WindowFixture::press(Qt::Key_Tab);
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("00:00"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("18:00"));
        lineOf(w, "txtWETIME")->selectAll();
        WindowFixture::type(QStringLiteral("900"));
        WindowFixture::press(Qt::Key_Tab);
        QCOMPARE(lineOf(w, "txtWETIME")->text(), QStringLiteral("09:00"));
        QCOMPARE(f.log().texts(), QStringList{msg::HoursOutOfOrder.text});
        QCOMPARE(f.log().last().kind, MessageKind::Warning);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWSTIME"));
        QCOMPARE(lineOf(w, "txtWSTIME")->selectedText(), QStringLiteral("18:00"));

        // Equal times, and two empty ones, are refused too; each leave warns once.
        for (const auto &[start, end] :
             {std::pair{QStringLiteral("09:00"), QStringLiteral("900")}, std::pair{QString(), QString()}}) {
            f.log().clear();
            lineOf(w, "txtWSTIME")->setText(start);
            lineOf(w, "txtWETIME")->setFocus();
            lineOf(w, "txtWETIME")->clear();
            WindowFixture::type(end);
            WindowFixture::press(Qt::Key_Tab);
            QCOMPARE(f.log().count(), 1);
            QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWSTIME"));
        }
        // An empty start with an end passes.
        f.log().clear();
        lineOf(w, "txtWSTIME")->clear();
        lineOf(w, "txtWETIME")->setFocus();
        lineOf(w, "txtWETIME")->setText(QStringLiteral("1700"));
        WindowFixture::press(Qt::Key_Tab);
        QCOMPARE(f.log().count(), 0);

        // With items in the list, Enter in the end field goes to the list.
        f.addItem(QStringLiteral("1"), QStringLiteral("t"), QStringLiteral("d"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("09:00"));
        lineOf(w, "txtWETIME")->setFocus();
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(WindowFixture::focus(), gridOf(w));
    }

    void cancelWithTheFocusInTheEndTimeShowsNothing()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(QStringLiteral("A0012345"), QStringLiteral("20240301"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("18:00"));
        lineOf(w, "txtWETIME")->setFocus();
        WindowFixture::settle();
        WindowFixture::type(QStringLiteral("0900"));
        WindowFixture::press(Qt::Key_F3);
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtPJCODE"));
        QVERIFY(!panelOf(w)->isEnabled());

        // A click on キャンセル cancels as F3 does: the focus passing to the button checks nothing.
        f.search(QStringLiteral("A0012345"), QStringLiteral("20240301"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("18:00"));
        lineOf(w, "txtWETIME")->setFocus();
        WindowFixture::settle();
        WindowFixture::type(QStringLiteral("0900"));
        QTest::mouseClick(buttonOf(w, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(f.log().count(), 0);
        QVERIFY(!panelOf(w)->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowScreen)
#include "test_mainwindow_screen.moc"
