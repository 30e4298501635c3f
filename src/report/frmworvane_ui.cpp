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

namespace worvane
{

namespace
{
const QColor FunctionKeyColour(192, 255, 255);
constexpr int StatusLineTwips = 255;
// The entry panel's labels stand a little inside its border, not on it.
constexpr int PanelLabelLeft = 75;
} // namespace

void frmWorvaneUi::setupUi(QWidget *window)
{
    window->setObjectName(QStringLiteral("frmWorvane"));
    window->setWindowTitle(caption::Main);
    window->setFont(ScreenFont(9.75));
    // The screen's 6030 twips, and a status line below the action row.
    window->setFixedSize(Twips(9495), Twips(6030 + StatusLineTwips));
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
    auto functionLabel = [window](const char *name, const QString &caption, int left) {
        QLabel *lbl = MakeLabel(window, name, caption, {left, 5235, 1350, 180});
        lbl->setAlignment(Qt::AlignCenter);
        lbl->setFont(ScreenFont(9, true));
        lbl->setAutoFillBackground(true);
        QPalette palette = lbl->palette();
        palette.setColor(QPalette::Window, FunctionKeyColour);
        lbl->setPalette(palette);
        return lbl;
    };
    lblF1 = functionLabel("lblF1", QStringLiteral("Ｆ１"), 900);
    cmdUpdate = MakeButton(window, "cmdUpdate", QStringLiteral("更　新"), {907, 5430, 1350, 500});
    lblF2 = functionLabel("lblF2", QStringLiteral("Ｆ２"), 3015);
    cmdOutput = MakeButton(window, "cmdOutput", QStringLiteral("レポート出力"), {3022, 5430, 1350, 500});
    lblF3 = functionLabel("lblF3", QStringLiteral("Ｆ３"), 5115);
    cmdCancel = MakeButton(window, "cmdCancel", QStringLiteral("キャンセル"), {5122, 5430, 1350, 500});
    lblF4 = functionLabel("lblF4", QStringLiteral("Ｆ４"), 7230);
    cmdClose = MakeButton(window, "cmdClose", QStringLiteral("閉じる"), {7237, 5430, 1350, 500});

    lblStatus = MakeLabel(window, "lblStatus", QString(), {105, 6000, 9285, StatusLineTwips});
    InstallStatusLine(window, lblStatus);
}

void frmWorvaneUi::setTabOrder()
{
    const QList<QWidget *> order{txtPJCODE,  cmdCallPJViewer, txtWKYMD,  cmdCallCalendar, cmdSerch,
                                 txtWSTIME,  txtWETIME,       fgdWKCONT, txtWKCODE,       cmdAddWork,
                                 cmdUpdWork, cmdDelWork,      txtWKHEAD, txtDETAIL,       cmdUpdate,
                                 cmdOutput,  cmdCancel,       cmdClose};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

} // namespace worvane
