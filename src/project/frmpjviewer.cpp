#include "project/frmpjviewer.h"

#include "app/globals.h"
#include "app/messagepresenter.h"
#include "common/bytelimit.h"
#include "common/fieldrules.h"
#include "common/flexgrid.h"
#include "common/modcommon.h"
#include "common/screen.h"
#include "common/waitcursor.h"
#include "store/reportstore.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

namespace worvane
{

const QString frmPJViewer::Caption = QStringLiteral("プロジェクト検索");

namespace
{
const QString NotFoundText = QStringLiteral("該当するプロジェクトが存在しません。");
const QString SearchFailedText = QStringLiteral("データベースの検索に失敗しました。");
const QString CodeRequiredText = QStringLiteral("PJコードは必須入力です。");
const QString NameRequiredText = QStringLiteral("PJ名称は必須入力です。");
const QString ConfirmText =
    QStringLiteral("入力内容でプロジェクトマスタを更新します。\r\n処理を実行してよろしいですか？");
const QString UpdatedText = QStringLiteral("プロジェクトマスタの更新が完了しました。");
const QString UpdateFailedText = QStringLiteral("プロジェクトマスタの更新に失敗しました。");

constexpr int CodeBytes = 8;

// Columns of the project list.
constexpr int ColNumber = 0;
constexpr int ColCode = 1;
constexpr int ColName = 2;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, qreal points)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setFont(ScreenFont(points, true));
    // Enter acts on the focused button only (see keyPressEvent); no button is the window's default.
    button->setAutoDefault(false);
    return button;
}

// The typed text when the field counts as filled in; the pattern is the text as typed, blanks and all.
std::optional<QString> patternOf(const QLineEdit *field)
{
    const QString text = field->text();
    if (TrimBlanks(text).isEmpty())
        return std::nullopt;
    return text;
}
} // namespace

frmPJViewer::frmPJViewer(QLineEdit *targetCode, QLabel *targetName, QWidget *parent)
    : QDialog(parent), m_targetCode(targetCode), m_targetName(targetName)
{
    setObjectName(QStringLiteral("frmPJViewer"));
    setWindowTitle(Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ScreenFont(9.75));
    setFixedSize(TwipsRect(0, 0, 4680, 4020).size());

    lblPJCode = new QLabel(QStringLiteral("PJコード"), this);
    lblPJCode->setObjectName(QStringLiteral("lblPJCode"));
    PlaceTwips(lblPJCode, 105, 135, 795, 195);

    txtPJCODE = new QLineEdit(this);
    txtPJCODE->setObjectName(QStringLiteral("txtPJCODE"));
    txtPJCODE->setAccessibleName(lblPJCode->text());
    PlaceTwips(txtPJCODE, 1050, 105, 950, 285);
    lblPJCode->setBuddy(txtPJCODE);

    lblPJNAME = new QLabel(QStringLiteral("PJ名称"), this);
    lblPJNAME->setObjectName(QStringLiteral("lblPJNAME"));
    PlaceTwips(lblPJNAME, 105, 480, 600, 195);

    txtPJNAME = new QLineEdit(this);
    txtPJNAME->setObjectName(QStringLiteral("txtPJNAME"));
    txtPJNAME->setAccessibleName(lblPJNAME->text());
    PlaceTwips(txtPJNAME, 1050, 450, 3450, 285);
    lblPJNAME->setBuddy(txtPJNAME);

    cmdSerch = makeButton(this, "cmdSerch", QStringLiteral("検索"), 9);
    PlaceTwips(cmdSerch, 1463, 855, 705, 315);

    cmdUpdate = makeButton(this, "cmdUpdate", QStringLiteral("更新"), 9);
    PlaceTwips(cmdUpdate, 2513, 855, 705, 315);

    fgdPRJMST = new FlexGrid(this);
    fgdPRJMST->setObjectName(QStringLiteral("fgdPRJMST"));
    fgdPRJMST->setAccessibleName(QStringLiteral("プロジェクト一覧"));
    PlaceTwips(fgdPRJMST, 30, 1275, 4635, 2010);

    cmdClose = makeButton(this, "cmdClose", QStringLiteral("閉じる"), 9.75);
    PlaceTwips(cmdClose, 1665, 3375, 1350, 500);

    lblPJCode->setFocusPolicy(Qt::NoFocus);
    lblPJNAME->setFocusPolicy(Qt::NoFocus);
    setTabOrder(txtPJCODE, txtPJNAME);
    setTabOrder(txtPJNAME, cmdSerch);
    setTabOrder(cmdSerch, cmdUpdate);
    setTabOrder(cmdUpdate, fgdPRJMST);
    setTabOrder(fgdPRJMST, cmdClose);

    // Typing rules: the code is half-width and at most 8 bytes; the name takes Japanese input and has
    // no limit of its own (characters outside the code page are still kept out).
    SetByteLimit(txtPJCODE, CodeBytes);
    SetInputMethodEnabled(txtPJCODE, false);
    SetByteLimit(txtPJNAME, 0);
    SetInputMethodEnabled(txtPJNAME, true);

    for (QLineEdit *field : {txtPJCODE, txtPJNAME}) {
        FieldEvents *fieldEvents = events(field);
        connect(fieldEvents, &FieldEvents::gotFocus, field, [field] { SelectAllOnFocus(field); });
        connect(fieldEvents, &FieldEvents::keyPress, field,
                [field](int &keyCode) { EnterToTab(keyCode, field); });
    }
    connect(cmdSerch, &QPushButton::clicked, this, &frmPJViewer::cmdSerch_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmPJViewer::cmdUpdate_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(fgdPRJMST, &FlexGrid::dblClick, this, &frmPJViewer::PickProject);
    connect(fgdPRJMST, &FlexGrid::keyPress, this, &frmPJViewer::fgdPRJMST_KeyPress);

    InitProjectWindow();
    txtPJCODE->setFocus();
}

void frmPJViewer::InitProjectWindow()
{
    txtPJCODE->clear();
    txtPJNAME->clear();

    fgdPRJMST->setRows(1);
    fgdPRJMST->setCols(3);
    fgdPRJMST->setColWidth(ColNumber, 500);
    fgdPRJMST->setColWidth(ColCode, 1000);
    fgdPRJMST->setColWidth(ColName, 3000);
    const QString headers[] = {QStringLiteral("行数"), QStringLiteral("PJコード"), QStringLiteral("PJ名称")};
    fgdPRJMST->setRow(0);
    for (int col = 0; col < 3; ++col) {
        fgdPRJMST->setCol(col);
        fgdPRJMST->setText(headers[col]);
        fgdPRJMST->setCellAlignment(4);
    }
    // Empty mode: a focus rectangle, no highlighted selection.
    fgdPRJMST->setFocusRect(1);
    fgdPRJMST->setHighLight(0);
}

bool frmPJViewer::SearchProjects()
{
    m_searchFailed = false;
    const ProjectSearch found =
        ReportStore(globals::MdbPath).searchProjects(patternOf(txtPJCODE), patternOf(txtPJNAME));
    if (!found.ok) {
        m_searchFailed = true;
        return false;
    }
    if (found.rows.isEmpty())
        return false;

    // The list is sized once and filled while hidden, so a long result is not drawn cell by cell.
    // Row numbers run on past 32,767: nothing here is a 16-bit counter.
    fgdPRJMST->setVisible(false);
    QList<QStringList> rows;
    rows.reserve(found.rows.size());
    int number = 0;
    for (const ProjectRow &project : found.rows)
        rows.append(QStringList{QString::number(++number), project.code, project.name});
    fgdPRJMST->fillRows(rows);

    // List mode, the first result's code and name selected.
    fgdPRJMST->setFocusRect(0);
    fgdPRJMST->setHighLight(1);
    fgdPRJMST->setRow(1);
    fgdPRJMST->setCol(ColCode);
    fgdPRJMST->setColSel(ColName);
    fgdPRJMST->setVisible(true);
    return true;
}

void frmPJViewer::PickProject()
{
    if (fgdPRJMST->rows() <= 1)
        return;
    const int row = fgdPRJMST->row();
    if (row < 1)
        return;
    const QString code = fgdPRJMST->textAt(row, ColCode);
    const QString name = fgdPRJMST->textAt(row, ColName);
    if (m_targetCode)
        m_targetCode->setText(code);
    if (m_targetName)
        m_targetName->setText(name);
    accept();
}

bool frmPJViewer::CheckProjectInput()
{
    QLineEdit *fault = nullptr;
    QString text;
    if (TrimBlanks(txtPJCODE->text()).isEmpty()) {
        fault = txtPJCODE;
        text = CodeRequiredText;
    } else if (TrimBlanks(txtPJNAME->text()).isEmpty()) {
        fault = txtPJNAME;
        text = NameRequiredText;
    }
    if (!fault)
        return true;
    MessagePresenter::show(this, MessageKind::Warning, Caption, text);
    MoveFocus(fault);
    fault->selectAll();
    return false;
}

bool frmPJViewer::UpdateProjectMaster()
{
    // The text exactly as typed: blanks around a code are part of it.
    return ReportStore(globals::MdbPath).updateProjectMaster(txtPJCODE->text(), txtPJNAME->text()).ok;
}

void frmPJViewer::cmdSerch_Click()
{
    if (SearchProjects()) {
        MoveFocus(fgdPRJMST);
        return;
    }
    if (m_searchFailed)
        MessagePresenter::show(this, MessageKind::Critical, Caption, SearchFailedText);
    else
        MessagePresenter::show(this, MessageKind::Warning, Caption, NotFoundText);
    MoveFocus(txtPJCODE);
}

void frmPJViewer::cmdUpdate_Click()
{
    if (!CheckProjectInput())
        return;
    if (!MessagePresenter::ask(this, Caption, ConfirmText))
        return;
    WaitCursor wait;
    const bool updated = UpdateProjectMaster();
    wait.restore();
    if (updated)
        MessagePresenter::show(this, MessageKind::Information, Caption, UpdatedText);
    else
        MessagePresenter::show(this, MessageKind::Critical, Caption, UpdateFailedText);
}

void frmPJViewer::fgdPRJMST_KeyPress(int &keyCode)
{
    if (keyCode != KeyEnter)
        return;
    keyCode = KeyNone;
    PickProject();
}

void frmPJViewer::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the focused button (the list and the calendar take their own Enter first); Escape
    // closes the window as 閉じる does.
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

} // namespace worvane
