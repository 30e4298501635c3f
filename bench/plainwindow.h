#pragma once

// The program's windows the plainest way, for the benchmark's floors.
#include <QCalendarWidget>
#include <QDialog>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <string>

namespace bench
{

// The font of the program's windows, asked for as they ask for it.
inline QFont PlainFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック"),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(9.75);
    return font;
}

// An empty table with its headings, as a window shows its list before anything is listed.
inline QTableView *PlainTable(QWidget *window, const QStringList &headings)
{
    auto *model = new QStandardItemModel(0, int(headings.size()), window);
    model->setHorizontalHeaderLabels(headings);
    auto *table = new QTableView(window);
    table->setModel(model);
    return table;
}

// The main window the plainest way: a plain widget with its controls, captions, font and size (13 labels,
// 6 fields, a text box, an empty table with its headings, 10 buttons and 2 frames), without anything of
// the program's own. The floor of the start-up row shows it, and the floors of the actions taken in the
// main window show it while they work, as the program shows its own.
// Its table's model is returned, empty.
inline QStandardItemModel *PlainMainWindow(QWidget *window)
{
    window->setFont(PlainFont());
    window->setWindowTitle(QStringLiteral("作業日報"));
    window->setFixedSize(633, 419);
    int y = 8;
    for (const char *caption : {"PJコード", "", "日付", "就労時間", "～", "作業項目№", "作業項目", "作業内容",
                                "Ｆ１", "Ｆ２", "Ｆ３", "Ｆ４", ""}) {
        (new QLabel(QString::fromUtf8(caption), window))->setGeometry(8, y, 80, 14);
        y += 16;
    }
    for (int i = 0; i < 6; ++i)
        (new QLineEdit(window))->setGeometry(100, 8 + 24 * i, 200, 20);
    (new QPlainTextEdit(window))->setGeometry(100, 160, 520, 70);
    QTableView *table =
        PlainTable(window, {QStringLiteral("№"), QStringLiteral("作業項目"), QStringLiteral("作業内容")});
    table->setGeometry(310, 8, 310, 140);
    int x = 8;
    for (const char *caption : {"…", "…", "検索", "行追加[F5]", "行変更[F6]", "行削除[F9]", "更　新",
                                "レポート出力", "キャンセル", "閉じる"}) {
        (new QPushButton(QString::fromUtf8(caption), window))->setGeometry(x, 330, 58, 30);
        x += 62;
    }
    for (int i = 0; i < 2; ++i) {
        auto *frame = new QFrame(window);
        frame->setFrameShape(i == 0 ? QFrame::HLine : QFrame::StyledPanel);
        frame->setGeometry(8, 240 + 40 * i, 610, i == 0 ? 1 : 30);
    }
    return static_cast<QStandardItemModel *>(table->model());
}

// A dialog's controls made and placed the plainest way: the same kinds and numbers as the program's window of
// that name, in its font and with its list's headings, without typing rules or handlers.
inline void PlainDialog(QDialog &window, const std::string &name)
{
    int labels = 5, fields = 4, buttons = 1, y = 8;
    QStringList headings{QStringLiteral("日付"), QStringLiteral("PJコード"), QStringLiteral("PJ名称"),
                         QStringLiteral("№"),    QStringLiteral("作業項目"), QStringLiteral("作業内容")};
    window.setFont(PlainFont());
    if (name == "frmPJViewer") {
        labels = 2;
        fields = 2;
        buttons = 3;
        headings = {QStringLiteral("行数"), QStringLiteral("PJコード"), QStringLiteral("PJ名称")};
    } else if (name == "frmCalendar") {
        labels = fields = 0;
        headings.clear();
        (new QCalendarWidget(&window))->setGeometry(8, y, 300, 200);
        y += 208;
    }
    for (int i = 0; i < labels; ++i)
        (new QLabel(QStringLiteral("ラベル%1").arg(i), &window))->setGeometry(8, y + 30 * i, 80, 20);
    for (int i = 0; i < fields; ++i)
        (new QLineEdit(&window))->setGeometry(100, y + 30 * i, 200, 24);
    y += 30 * std::max(labels, fields);
    if (!headings.isEmpty()) {
        PlainTable(&window, headings)->setGeometry(8, y, 600, 300);
        y += 308;
    }
    for (int i = 0; i < buttons; ++i)
        (new QPushButton(QStringLiteral("ボタン%1").arg(i), &window))->setGeometry(8 + 110 * i, y, 100, 28);
    window.resize(620, y + 40);
}

} // namespace bench
