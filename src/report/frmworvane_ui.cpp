#include "report/frmworvane_ui.h"

#include "widgets/bytelimit.h"
#include "widgets/fieldrules.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"
#include "core/messages.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

namespace worvane
{

namespace
{
const QColor FunctionKeyColour(192, 255, 255);
// A row of function keys: the key's name, its button, the gap to what is below.
constexpr int KeyRowTwips = 765;
constexpr int StatusLineTwips = 255;
// The entry panel's labels stand a little inside its border, not on it.
constexpr int PanelLabelLeft = 75;
} // namespace

void frmWorvaneUi::setupUi(QWidget *window)
{
    window->setObjectName(QStringLiteral("frmWorvane"));
    window->setWindowTitle(caption::Main);
    window->setFont(ScreenFont(9.75));
    // The screen's 6030 twips, a second row of function keys, and a status line below them.
    window->setFixedSize(Twips(9495), Twips(6030 + KeyRowTwips + StatusLineTwips));
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    buildHeader(window);
    buildPanel(window);
    buildActionRow(window);
    setTabOrder();
}

void frmWorvaneUi::buildHeader(QWidget *window)
{
    lblPJCode = MakeLabel(window, "lblPJCode", QStringLiteral("PJコード"), {105, 135, 795, 195});
    txtPJCODE = MakeLineEdit(window, "txtPJCODE", QStringLiteral("PJコード"), {1050, 100, 950, 285});
    cmdCallPJViewer = MakeButton(window, "cmdCallPJViewer", QStringLiteral("…"), {2085, 105, 285, 285});
    cmdCallPJViewer->setAccessibleName(QStringLiteral("プロジェクト検索"));
    // The name runs the length of its underline, so that a long name is not cut at a quarter of it.
    lblPJNAME = MakeLabel(window, "lblPJNAME", QString(), {2715, 135, 6495 - 2715, 195});
    Line1 = Make<QFrame>(window, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setGeometry(Twips(2715), Twips(375) - 1, Twips(6495 - 2715), 1);
    lblDate = MakeLabel(window, "lblDate", QStringLiteral("日付"), {105, 510, 390, 195});
    txtWKYMD = MakeLineEdit(window, "txtWKYMD", QStringLiteral("日付"), {1050, 480, 1150, 285});
    cmdCallCalendar = MakeButton(window, "cmdCallCalendar", QStringLiteral("…"), {2295, 480, 285, 285});
    cmdCallCalendar->setAccessibleName(QStringLiteral("カレンダー"));
    cmdSerch = MakeButton(window, "cmdSerch", QStringLiteral("検索"), {2850, 465, 705, 315});
}

void frmWorvaneUi::buildPanel(QWidget *window)
{
    fraPanel = Make<QFrame>(window, "fraPanel");
    fraPanel->setFrameShape(QFrame::StyledPanel);
    PlaceTwips(fraPanel, 105, 780, 9255, 4410);
    QWidget *p = fraPanel;

    lblWorkTime = MakeLabel(p, "lblWorkTime", QStringLiteral("就労時間"), {PanelLabelLeft, 120, 780, 195});
    txtWSTIME = MakeLineEdit(p, "txtWSTIME", QStringLiteral("就労時間 開始"), {945, 90, 630, 285});
    lblTo = MakeLabel(p, "lblTo", QStringLiteral("～"), {1650, 120, 195, 195});
    txtWETIME = MakeLineEdit(p, "txtWETIME", QStringLiteral("就労時間 終了"), {1920, 90, 630, 285});
    fgdWKCONT = Make<FlexGrid>(p, "fgdWKCONT");
    fgdWKCONT->setAccessibleName(QStringLiteral("作業項目一覧"));
    fgdWKCONT->setMode(FlexGrid::Mode::Empty); // until items come in
    PlaceTwips(fgdWKCONT, 0, 435, 9210, 2010);
    lblWorkCode = MakeLabel(p, "lblWorkCode", QStringLiteral("作業項目№"), {PanelLabelLeft, 2550, 975, 195});
    txtWKCODE = MakeLineEdit(p, "txtWKCODE", QStringLiteral("作業項目№"), {1080, 2505, 315, 285});
    cmdAddWork = MakeButton(p, "cmdAddWork", QStringLiteral("行追加[F5]"), {1590, 2490, 1200, 315});
    cmdUpdWork = MakeButton(p, "cmdUpdWork", QStringLiteral("行変更[F6]"), {2940, 2490, 1200, 315});
    cmdDelWork = MakeButton(p, "cmdDelWork", QStringLiteral("行削除[F9]"), {4290, 2490, 1200, 315});
    lblWorkHeader =
        MakeLabel(p, "lblWorkHeader", QStringLiteral("作業項目"), {PanelLabelLeft, 2910, 780, 195});
    // 80 bytes are 40 full-width characters: the field runs as far as the detail field so that the 40th
    // is not cut off.
    txtWKHEAD = MakeLineEdit(p, "txtWKHEAD", QStringLiteral("作業項目"), {1080, 2880, 8150, 285});
    lblDetail = MakeLabel(p, "lblDetail", QStringLiteral("作業内容"), {PanelLabelLeft, 3270, 780, 195});
    txtDETAIL = Make<LimitedTextEdit>(p, "txtDETAIL");
    txtDETAIL->setAccessibleName(QStringLiteral("作業内容"));
    txtDETAIL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDETAIL->setTabChangesFocus(true);
    PlaceTwips(txtDETAIL, 1080, 3270, 8150, 1065);

    for (QWidget *w :
         std::initializer_list<QWidget *>{lblWorkTime, txtWSTIME, lblTo, txtWETIME, fgdWKCONT, lblWorkCode,
                                          txtWKCODE, lblWorkHeader, txtWKHEAD, lblDetail, txtDETAIL})
        KeepColoursWhenDisabled(w);
    KeepColoursWhenDisabled(fgdWKCONT->viewport());
    KeepColoursWhenDisabled(fgdWKCONT->horizontalHeader());
}

void frmWorvaneUi::buildActionRow(QWidget *window)
{
    // Each key's name in pale cyan directly above its button.
    auto functionKey = [window](int row, const char *labelName, const QString &key, const char *name,
                                const QString &caption, int left) {
        const int top = 5235 + row * KeyRowTwips;
        QLabel *lbl = MakeLabel(window, labelName, key, {left - 7, top, 1350, 180});
        lbl->setAlignment(Qt::AlignCenter);
        lbl->setFont(ScreenFont(9, true));
        lbl->setAutoFillBackground(true);
        QPalette palette = lbl->palette();
        palette.setColor(QPalette::Window, FunctionKeyColour);
        lbl->setPalette(palette);
        return std::pair{lbl, MakeButton(window, name, caption, {left, top + 195, 1350, 500})};
    };
    std::tie(lblF1, cmdUpdate) =
        functionKey(0, "lblF1", QStringLiteral("Ｆ１"), "cmdUpdate", QStringLiteral("更　新"), 907);
    std::tie(lblF2, cmdOutput) =
        functionKey(0, "lblF2", QStringLiteral("Ｆ２"), "cmdOutput", QStringLiteral("レポート出力"), 3022);
    std::tie(lblF3, cmdCancel) =
        functionKey(0, "lblF3", QStringLiteral("Ｆ３"), "cmdCancel", QStringLiteral("キャンセル"), 5122);
    std::tie(lblF4, cmdClose) =
        functionKey(0, "lblF4", QStringLiteral("Ｆ４"), "cmdClose", QStringLiteral("閉じる"), 7237);

    // Five buttons over the span of the four above, the first and the last in line with F1 and F4.
    std::tie(lblF7, cmdMonth) =
        functionKey(1, "lblF7", QStringLiteral("Ｆ７"), "cmdMonth", caption::Month, 907);
    std::tie(lblF8, cmdSearch) =
        functionKey(1, "lblF8", QStringLiteral("Ｆ８"), "cmdSearch", caption::Search, 2490);
    std::tie(lblF10, cmdHistory) =
        functionKey(1, "lblF10", QStringLiteral("Ｆ１０"), "cmdHistory", caption::History, 4072);
    std::tie(lblF11, cmdCopyLast) =
        functionKey(1, "lblF11", QStringLiteral("Ｆ１１"), "cmdCopyLast", QStringLiteral("前回の写し"), 5655);
    std::tie(lblF12, cmdSubmission) =
        functionKey(1, "lblF12", QStringLiteral("Ｆ１２"), "cmdSubmission", caption::Submission, 7237);
    cmdMonth->setToolTip(QStringLiteral("日付欄の月（日付が無ければ今月）の月報を開きます（F7）"));
    cmdSearch->setToolTip(QStringLiteral("保存したすべての作業項目を検索する画面を開きます（F8）"));
    cmdHistory->setToolTip(
        QStringLiteral("開いている日の保存された版を表示し、選んだ版を画面に戻します（F10）"));
    cmdCopyLast->setToolTip(
        QStringLiteral("同じプロジェクトの直近の保存済みの日の就労時間と作業項目を画面に写します（F11）"));
    cmdSubmission->setToolTip(QStringLiteral("日付欄の月の提出状況を開きます（F12）"));
    // A click acts as the key does, without taking the focus from the field (whose leave-rule would run);
    // Tab still reaches them.
    for (QPushButton *button : {cmdMonth, cmdSearch, cmdHistory, cmdCopyLast, cmdSubmission})
        button->setFocusPolicy(Qt::TabFocus);

    lblStatus = MakeLabel(window, "lblStatus", QString(), {105, 6000 + KeyRowTwips, 9285, StatusLineTwips});
    InstallStatusLine(window, lblStatus);
}

void frmWorvaneUi::setTabOrder()
{
    const QList<QWidget *> order{txtPJCODE,  cmdCallPJViewer, txtWKYMD,     cmdCallCalendar, cmdSerch,
                                 txtWSTIME,  txtWETIME,       fgdWKCONT,    txtWKCODE,       cmdAddWork,
                                 cmdUpdWork, cmdDelWork,      txtWKHEAD,    txtDETAIL,       cmdUpdate,
                                 cmdOutput,  cmdCancel,       cmdClose,     cmdMonth,        cmdSearch,
                                 cmdHistory, cmdCopyLast,     cmdSubmission};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

} // namespace worvane
