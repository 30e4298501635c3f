#pragma once

#include "core/values.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Every message the program shows, in one place: the windows, the rules and the tests use these.

namespace worvane
{

enum class MessageKind {
    Warning,     // exclamation, OK: refused input
    Information, // information, OK: a completed action
    Critical,    // stop, OK: a failed action
    Question,    // question, Yes and No, No the default: before a database write
};

struct Message {
    MessageKind kind;
    QString text; // one short sentence, or two joined by CR LF
    bool operator==(const Message &) const = default;
};

namespace msg
{
using enum MessageKind;
// Start-up and exit.
inline const Message AlreadyRunning{Warning, QStringLiteral("このアプリケーションはすでに開かれています。")};
inline const Message DatabaseMissing{
    Critical, QStringLiteral("MDBのPATHが見つかりません。\r\nWorvane.iniの設定を見直して下さい。")};
inline const Message CompactionFailed{
    Information, QStringLiteral("MDBファイルが開かれている為、最適化が出来ませんでした。\r\n"
                                "最適化を行う場合はMDBファイルを開かないで下さい。")};
// The header: search, save and report file.
inline const Message CodeRequired{Warning, QStringLiteral("PJコードは必須入力です。")};
inline const Message DateRequired{Warning, QStringLiteral("日付は必須入力です。")};
inline const Message DateInvalid{Warning, QStringLiteral("日付が不正です。")};
inline const Message HoursRequired{Warning, QStringLiteral("就労時間は必須入力です。")};
inline const Message HoursOutOfOrder{Warning, QStringLiteral("就労時間の開始～終了時刻が不正です。")};
inline const Message ProjectUnknown{Warning, QStringLiteral("入力されたプロジェクトは存在しません。")};
inline const Message LoadFailed{Critical, QStringLiteral("データベースの読み込みに失敗しました。")};
// The item editor.
inline const Message ItemNumberRequired{Warning, QStringLiteral("作業項目№は必須入力です。")};
inline const Message ItemNumberRange{Warning, QStringLiteral("作業項目№は1～99までの値を入力して下さい。")};
inline const Message ItemTitleRequired{Warning, QStringLiteral("作業項目は必須入力です。")};
inline const Message ItemDetailRequired{Warning, QStringLiteral("作業内容は必須入力です。")};
inline const Message ItemDuplicate{Warning, QStringLiteral("作業項目№が重複しています。")};
inline const Message ItemMissing{Warning, QStringLiteral("変更対象の作業項目№が存在しません。")};
inline const Message NothingToDelete{Warning, QStringLiteral("削除できる作業情報がありません。")};
// Saving the day.
inline const Message ConfirmSave{
    Question, QStringLiteral("入力内容でデータベースを更新します。\r\n処理を実行してよろしいですか？")};
inline const Message Saved{Information, QStringLiteral("データベースの更新が完了しました。")};
inline const Message SaveFailed{Critical, QStringLiteral("データベースの更新に失敗しました。")};
// Another program held the database file for longer than the wait; or its disk is full.
inline const Message DatabaseBusy{
    Critical, QStringLiteral("データベースファイルは他のプログラムが使用中です。\r\nしばらくしてからやり直して下さい。")};
inline const Message DatabaseDiskFull{
    Critical, QStringLiteral("ディスクの空き容量が足りないため、データベースを更新できませんでした。\r\n"
                             "入力内容は画面に残っています。")};
inline const Message DayChangedElsewhere{
    Warning, QStringLiteral("この日報は読み込んだ後に別のPCで変更されたため、更新しませんでした。\r\n"
                            "入力内容は画面に残っています。検索し直して内容を確かめて下さい。")};
// The team database's server could not be reached: what was typed stays on the screen.
inline Message ServerUnreachable(const QString &server)
{
    return Message{Critical, QStringLiteral("サーバー %1 に接続できません。\r\n"
                                            "入力内容は画面に残っています。接続を確かめてからやり直して下さい。")
                                 .arg(server)};
}
inline Message ServerLoginFailed(const QString &server)
{
    return Message{Critical, QStringLiteral("サーバー %1 にログインできませんでした。\r\n"
                                            "ユーザー名とパスワードを確かめて下さい。パスワードは ~/.pgpass か"
                                            "環境変数 PGPASSWORD に置きます。")
                                 .arg(server)};
}
inline Message ServerTimedOut(const QString &server)
{
    return Message{Critical, QStringLiteral("サーバー %1 が時間内に応答しませんでした。\r\n"
                                            "入力内容は画面に残っています。しばらくしてからやり直して下さい。")
                                 .arg(server)};
}
inline Message ServerRefused(const QString &server)
{
    return Message{Critical, QStringLiteral("サーバー %1 に拒否されました（権限がありません）。\r\n"
                                            "入力内容は画面に残っています。")
                                 .arg(server)};
}
inline const Message PasswordInPath{
    Critical, QStringLiteral("Worvane.ini の Path にパスワードが書かれているため、接続しません。\r\n"
                             "パスワードは ~/.pgpass か環境変数 PGPASSWORD に置いて下さい。")};
inline const Message Cancelled{Information, QStringLiteral("処理を中止しました。\r\n入力内容は画面に残っています。")};
inline const QString WaitingForDatabase = QStringLiteral("データベースの応答を待っています…");
inline const QString CancelButton = QStringLiteral("キャンセル");
inline const QString Compacting = QStringLiteral("データベースを最適化しています…");
inline const QString BackingUp = QStringLiteral("データベースのバックアップを作成しています…");
// The status line at the start after an exit whose backup could not be made.
inline QString BackupNotMade(const QString &when, const QString &why)
{
    return QStringLiteral("%1 の自動バックアップを作成できませんでした（%2）").arg(when, why);
}
inline const QString BackupDiskFull = QStringLiteral("ディスクがいっぱいです");
inline const QString BackupFailedSeeLog = QStringLiteral("理由はログにあります");
inline QString BackupNoRoom(qint64 needed, qint64 free)
{
    return QStringLiteral("ディスクの空きが足りません: %1 MB 必要、空き %2 MB")
        .arg((needed + (1 << 20) - 1) >> 20)
        .arg(free >> 20);
}
inline const QString WaitingForCompaction =
    QStringLiteral("前回の終了処理（データベースの最適化）が終わるのを待っています…");
// A text holding a character the team database cannot store: where, and which (U+0000).
inline Message UnstorableCharacter(const QString &where, const QString &character)
{
    return Message{Warning, QStringLiteral("%1に、データベースに保存できない文字（%2）があります。\r\n"
                                           "入力内容は画面に残っています。その文字を除いてから更新して下さい。")
                                .arg(where, character)};
}
// The report file.
inline const Message ReportWritten{Information, QStringLiteral("レポート出力が完了しました。")};
// The project window.
inline const Message NoProjectFound{Warning, QStringLiteral("該当するプロジェクトが存在しません。")};
inline const Message ProjectSearchFailed{Critical, QStringLiteral("データベースの検索に失敗しました。")};
inline const Message ProjectNameRequired{Warning, QStringLiteral("PJ名称は必須入力です。")};
inline const Message ConfirmProjectUpdate{
    Question, QStringLiteral("入力内容でプロジェクトマスタを更新します。\r\n処理を実行してよろしいですか？")};
inline const Message ProjectUpdated{Information, QStringLiteral("プロジェクトマスタの更新が完了しました。")};
inline const Message ProjectCodeLeadOnly{
    Warning, QStringLiteral("プロジェクトコードの変更と削除は、リーダー（worvane_lead）だけができます。")};
inline const Message ProjectCodeInUse{
    Warning, QStringLiteral("このプロジェクトコードは日報で使われているため、変更も削除もできません。")};
// The states of a person's day on the team database.
inline const QString DayStateSubmitted = QStringLiteral("提出済");
inline const QString DayStateApproved = QStringLiteral("承認済");
inline const QString DayStateReturned = QStringLiteral("差戻し");
inline const Message DayLocked{Warning, QStringLiteral("承認済みまたは締め済みの日報は変更できません。")};
inline const Message NoSavedDay{Warning, QStringLiteral("保存されていない日報です。")};
inline const Message TeamOnly{Warning, QStringLiteral("チームのデータベースでだけできる操作です。")};
inline const Message ProjectUpdateFailed{Critical,
                                         QStringLiteral("プロジェクトマスタの更新に失敗しました。")};

// The month window (月報) and its exports.
inline const Message RangeInvalid{Warning, QStringLiteral("期間が不正です。")};
inline const Message ExportWritten{Information, QStringLiteral("出力が完了しました。")};
inline Message ExportFailed(const QString &why)
{
    return Message{Critical, QStringLiteral("出力に失敗しました。\r\n%1").arg(why)};
}

// Copy of the last day (F11) and the full-text search window.
// Opening a day (from 月報 or 全文検索) over input not saved yet.
inline Message ConfirmApproveMonth(const QString &person, const QDate &month)
{
    return Message{Question, QStringLiteral("%1 の %2年%3月の提出済の日報をすべて承認します。\r\n処理を実行してよろしいですか？")
                                 .arg(person)
                                 .arg(month.year())
                                 .arg(month.month())};
}
inline Message ApprovedDays(int days)
{
    return Message{Information, QStringLiteral("%1 日の日報を承認しました。").arg(days)};
}
inline Message ConfirmOpenDay(const QString &code, const QString &date)
{
    return Message{Question, QStringLiteral("%1 %2 の日報を開き、画面の保存されていない内容を置き換えます。\r\n"
                                            "処理を実行してよろしいですか？")
                                 .arg(date, code)};
}
inline Message ConfirmCopyDay(const QString &date)
{
    return Message{Question, QStringLiteral("%1 の就労時間と作業項目で画面の内容を置き換えます。\r\n"
                                            "処理を実行してよろしいですか？")
                                 .arg(date)};
}
inline const Message NoEarlierDay{Information, QStringLiteral("これより前に保存された日報がありません。")};
inline const Message &SearchFailed = ProjectSearchFailed; // the same words for the full-text search
inline QString DayCopied(const QString &date)
{
    return QStringLiteral("%1 の内容を写しました。更新（F1）するまで保存されません。").arg(date);
}
inline QString VersionRestored(const QString &savedAt)
{
    return QStringLiteral("%1 に保存された版を戻しました。更新（F1）するまで保存されません。").arg(savedAt);
}
inline QString HitCount(qsizetype hits, bool more)
{
    return more ? QStringLiteral("%1件以上（新しい順）").arg(hits) : QStringLiteral("%1件").arg(hits);
}
inline const QString IndexBuilding = QStringLiteral("全文検索の索引を作成しています…");
inline const Message IndexNoRoom{Warning, QStringLiteral("ディスクの空き容量が足りないため、全文検索の索引を作れませんでした。\r\n"
                                                         "索引を使わずに検索します。")};
// The working days of the month so far without a saved day, for the main window's status line:
// 「未入力の日: 12/3(木), 12/7(月)」; empty when there are none.
inline QString MissingDays(const QList<QDate> &days)
{
    static const char16_t *const weekdays[] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};
    QStringList named;
    for (const QDate &day : days)
        named << QStringLiteral("%1/%2(%3)").arg(day.month()).arg(day.day()).arg(QString::fromUtf16(weekdays[day.dayOfWeek() - 1]));
    return named.isEmpty() ? QString() : QStringLiteral("未入力の日: ") + named.join(QStringLiteral(", "));
}
// The status line's words for the day loaded: its state, whether it is read-only, the latest comment.
inline QString DayStateLine(const QString &state, bool locked, const std::optional<DayComment> &latest)
{
    QString line;
    if (state == DayStateApproved)
        line = QStringLiteral("承認済の日報です（変更できません）");
    else if (locked)
        line = QStringLiteral("締め済みの日報です（変更できません）");
    else if (state == DayStateReturned)
        line = QStringLiteral("差戻しされた日報です");
    else if (!state.isEmpty())
        line = state;
    if (latest)
        line += QStringLiteral("　コメント（%1）: %2").arg(latest->author, QString(latest->text).replace(u'\n', u' '));
    return line;
}
// The box a returned day opens with: what to do, and every comment on it.
inline Message DayReturned(const QList<DayComment> &comments)
{
    QString text = QStringLiteral("この日報は差戻しされました。直して保存すると、提出済になります。");
    for (const DayComment &comment : comments)
        text += QStringLiteral("\r\n\r\n%1　%2\r\n%3").arg(comment.author, comment.written, comment.text);
    return {Information, text};
}
inline const QString Searching = QStringLiteral("検索しています…");
inline const QString SearchWithoutIndex = QStringLiteral("索引がないため、全件を読んで検索しています。");

// The error box of a report file that could not be written: its number and source.
inline Message ReportFileError(int number, const QString &source)
{
    return Message{Critical, QStringLiteral("実行時ｴﾗｰ: '%1'\r\nｴﾗｰｵﾌﾞｼﾞｪｸﾄ: %2").arg(number).arg(source)};
}
// The status line when a field refused characters CP932 cannot hold (typed, or left out of a paste).
inline QString RefusedTyped(const QString &characters)
{
    return QStringLiteral("「%1」は Shift-JIS で表せないため入力できません。").arg(characters);
}
inline QString RefusedPasted(const QString &characters)
{
    return QStringLiteral("Shift-JIS で表せない文字「%1」を除いて貼り付けました。").arg(characters);
}
} // namespace msg

// Window captions, also the titles of their boxes.
namespace caption
{
inline const QString Main = QStringLiteral("ワーベーン");
inline const QString Project = QStringLiteral("プロジェクト検索");
inline const QString Calendar = QStringLiteral("カレンダー");
inline const QString Month = QStringLiteral("月報");
inline const QString Search = QStringLiteral("全文検索");
inline const QString Submission = QStringLiteral("提出状況");
inline const QString DayView = QStringLiteral("日報参照");
inline const QString History = QStringLiteral("履歴");
inline const QString LoadError = QStringLiteral("ロードエラー");
inline const QString Compaction = QStringLiteral("MDB最適化");
} // namespace caption

} // namespace worvane
