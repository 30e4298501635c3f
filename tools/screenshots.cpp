// worvane-screenshots FOLDER [LEAD-URI]: shows the windows with demo data on the running display and saves a
// picture of each (main.png, project.png, calendar.png, month.png, submission.png, dayview.png, search.png,
// history.png);
// given a lead's team database holding a month of the team's days, also the lead's 提出状況 and 日報参照
// (submission-team.png, dayview-team.png). Run it under Xvfb through scripts/screenshots.sh.
#include "calendar/frmcalendar.h"
#include "history/frmhistory.h"
#include "month/frmmonthview.h"
#include "search/frmsearch.h"
#include "submission/frmdayview.h"
#include "submission/frmsubmission.h"
#include "widgets/bytelimit.h"
#include "core/clock.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"
#include "widgets/stackedbarchart.h"
#include "main/program.h"
#include "project/frmpjviewer.h"
#include "report/frmworvane.h"
#include "store/open/openstore.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace worvane;

namespace
{
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

// A picture of the screen where the window stands: what the display shows, not a rendering of the widget.
bool shoot(QWidget *window, const QString &path)
{
    window->raise();
    window->activateWindow();
    settle();
    const QRect frame = window->frameGeometry();
    const QPixmap picture =
        QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ConfigureApplication(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: worvane-screenshots FOLDER [LEAD-URI]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("demo.mdb"));
    if (!CreateDatabase(db, true).ok())
        return 1;
    Clock::setFixed(QDateTime(QDate(2026, 3, 6), QTime(18, 0)));
    const std::unique_ptr<Store> opened = OpenStore(db);
    Store &store = *opened;
    store.saveDay(DaySave{
        QStringLiteral("A0012345"),
        QStringLiteral("2026/03/06"),
        QStringLiteral("09:00"),
        QStringLiteral("18:00"),
        {{QStringLiteral("1"), QStringLiteral("朝会・作業計画の確認"),
          QStringLiteral("チーム朝会に参加\r\n本日の作業を確認")},
         {QStringLiteral("2"), QStringLiteral("日報画面の入力チェック実装"),
          QStringLiteral("作業項目№の重複チェック")},
         {QStringLiteral("3"), QStringLiteral("単体テスト"), QStringLiteral("保存と読み込みのテスト")},
         {QStringLiteral("10"), QStringLiteral("レビュー対応"), QStringLiteral("指摘事項を修正")}}});

    bool ok = true;
    frmWorvane window(Settings{dir.filePath(QStringLiteral("Worvane.ini")), db, QStringLiteral("A0012345"), {}}, store);
    window.show();
    settle();
    ControlOf<QLineEdit>(window, "txtWKYMD")->setText(QStringLiteral("2026/03/06"));
    ControlOf<QPushButton>(window, "cmdSerch")->click();
    ControlOf<FlexGrid>(window, "fgdWKCONT")->selectRow(1);
    ControlOf<QLineEdit>(window, "txtWKCODE")->setText(QStringLiteral("2"));
    ControlOf<QLineEdit>(window, "txtWKHEAD")->setText(QStringLiteral("日報画面の入力チェック実装"));
    ControlOf<LimitedTextEdit>(window, "txtDETAIL")->setTextCrLf(QStringLiteral("作業項目№の重複チェック"));
    ok &= shoot(&window, out.filePath(QStringLiteral("main.png")));

    {
        frmPJViewer viewer(store, &window);
        viewer.show();
        settle();
        viewer.findChild<QLineEdit *>(QStringLiteral("txtPJCODE"))->setText(QStringLiteral("A*"));
        viewer.findChild<QPushButton *>(QStringLiteral("cmdSerch"))->click();
        ok &= shoot(&viewer, out.filePath(QStringLiteral("project.png")));
    }
    {
        frmCalendar calendar(DaysOff::load(), &window);
        calendar.show();
        ok &= shoot(&calendar, out.filePath(QStringLiteral("calendar.png")));
    }
    {
        // A month of days for three projects, one of them saved without times.
        const char *codes[] = {"A0012345", "A0012346", "B0000001"};
        for (int d = 2; d <= 27; ++d) {
            const QDate date(2026, 3, d);
            if (date.dayOfWeek() > 5 || d == 6)
                continue;
            const int p = d % 3;
            const QString start = QStringLiteral("%1:00").arg(8 + d % 2, 2, 10, QLatin1Char('0'));
            const QString end = QStringLiteral("%1:30").arg(17 + d % 4, 2, 10, QLatin1Char('0'));
            store.saveDay(DaySave{QString::fromLatin1(codes[p]), date.toString(QStringLiteral("yyyy/MM/dd")),
                                  d == 17 ? QString() : start, d == 17 ? QString() : end,
                                  {{QStringLiteral("1"), QStringLiteral("作業"), QStringLiteral("内容")}}});
        }
        frmMonthView month(store, window.settings(), QDate(2026, 3, 6), &window);
        month.show();
        ok &= shoot(&month, out.filePath(QStringLiteral("month.png")));
        month.findChild<QPushButton *>(QStringLiteral("cmdChart"))->click();
        month.findChild<StackedBarChart *>(QStringLiteral("chtMONTH"))->setCurrent(9);
        ok &= shoot(&month, out.filePath(QStringLiteral("month-chart.png")));
        month.findChild<QPushButton *>(QStringLiteral("cmdYear"))->click();
        ok &= shoot(&month, out.filePath(QStringLiteral("year.png")));
        // The same month's days not entered, as a file's reader sees them.
        frmSubmission submission(store, DaysOff::load(), QDate(2026, 3, 6), &window);
        submission.show();
        ok &= shoot(&submission, out.filePath(QStringLiteral("submission.png")));
    }
    {
        const char *const items[][2] = {
            {"結合テスト", "受注画面の結合テスト\r\nテスト仕様書 No.12 まで完了"},
            {"テスト環境の整備", "ＤＢサーバにテスト用データを投入"},
            {"レビュー対応", "単体テストの指摘事項を修正"}};
        for (int d = 9; d <= 13; ++d) {
            QList<WorkItem> list;
            for (int i = 0; i < 3; ++i)
                list.append({QString::number(i + 1), QString::fromUtf8(items[(i + d) % 3][0]),
                             QString::fromUtf8(items[(i + d) % 3][1])});
            store.saveDay(DaySave{QStringLiteral("A0012346"), QStringLiteral("2026/03/%1").arg(d, 2, 10, QLatin1Char('0')),
                                  QStringLiteral("09:00"), QStringLiteral("18:00"), list});
        }
        store.buildIndex({});
        frmDayView day(store, QString(), QStringLiteral("2026/03/10"), false, &window);
        day.show();
        ok &= shoot(&day, out.filePath(QStringLiteral("dayview.png")));
        frmSearch search(store, &window);
        search.show();
        settle();
        search.findChild<QLineEdit *>(QStringLiteral("txtQUERY"))->setText(QStringLiteral("ﾃｽﾄ"));
        search.runSearch();
        ok &= shoot(&search, out.filePath(QStringLiteral("search.png")));
    }
    {
        // The main window's day, saved again later with an item changed and one added: 履歴 beside the screen.
        const DayLoad first = store.loadDay(QStringLiteral("A0012345"), QStringLiteral("2026/03/06")).value;
        QList<WorkItem> items = first.items;
        items[1].head = QStringLiteral("日報画面の入力チェック実装・修正");
        items.append({QStringLiteral("11"), QStringLiteral("議事録の作成"), QStringLiteral("定例会の議事録")});
        Clock::setFixed(QDateTime(QDate(2026, 3, 6), QTime(19, 12)));
        store.saveDay({QStringLiteral("A0012345"), QStringLiteral("2026/03/06"), QStringLiteral("09:00"),
                       QStringLiteral("19:00"), items});
        frmHistory history(store, QStringLiteral("A0012345"), QStringLiteral("2026/03/06"),
                           {{}, {}, QStringLiteral("09:00"), QStringLiteral("19:00"), items}, true, &window);
        history.show();
        settle();
        history.findChild<QTableView *>(QStringLiteral("fgdVERSIONS"))->selectRow(1);
        ok &= shoot(&history, out.filePath(QStringLiteral("history.png")));
    }
    if (argc > 2) {
        // A lead's February: one person's month approved, a day returned with a comment.
        const std::unique_ptr<Store> team = OpenStore(QString::fromLocal8Bit(argv[2]));
        const QString returned = QStringLiteral("2026/02/05");
        ok &= team->approveMonth(QStringLiteral("伊藤"), QStringLiteral("2026/02")).ok();
        ok &= team->approveMonth(QStringLiteral("高橋"), QStringLiteral("2026/02")).ok();
        ok &= team->reviewDay(QStringLiteral("佐藤"), returned, Store::Verdict::Return,
                              QStringLiteral("2件目の作業時間の内訳を追記してください。"))
                  .ok();
        frmSubmission submission(*team, DaysOff::load(), QDate(2026, 2, 1), &window);
        submission.show();
        ok &= shoot(&submission, out.filePath(QStringLiteral("submission-team.png")));
        frmDayView day(*team, QStringLiteral("佐藤"), returned, true, &window);
        day.show();
        ok &= shoot(&day, out.filePath(QStringLiteral("dayview-team.png")));
    }
    return ok ? 0 : 1;
}
