#include "project/frmpjviewer.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "widgets/bytelimit.h"
#include "widgets/fieldrules.h"
#include "widgets/flexgrid.h"
#include "core/modcommon.h"
#include "widgets/screen.h"
#include "widgets/waitcursor.h"
#include "models/projectmodel.h"
#include "store/store.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <optional>

namespace worvane
{

namespace
{
constexpr int CodeBytes = 8;

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

frmPJViewer::frmPJViewer(Store &store, QWidget *parent)
    : QDialog(parent), m_store(store), m_projects(new ProjectModel(this)),
      m_nextPage(new QTimer(this))
{
    m_nextPage->setSingleShot(true);
    m_nextPage->setInterval(0);
    connect(m_nextPage, &QTimer::timeout, this, &frmPJViewer::ListNextPage);
    setObjectName(QStringLiteral("frmPJViewer"));
    setWindowTitle(caption::Project);
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
    fgdPRJMST->setModel(m_projects);
    fgdPRJMST->setColumnWidthsTwips({500, 1000});
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

    // Empty mode until a search lists projects.
    fgdPRJMST->setMode(FlexGrid::Mode::Empty);
    txtPJCODE->setFocus();
}

std::optional<ProjectRow> frmPJViewer::pick(Store &store, QWidget *parent)
{
    frmPJViewer viewer(store, parent);
    viewer.exec();
    return viewer.picked();
}

frmPJViewer::Search frmPJViewer::SearchProjects()
{
    const std::optional<QString> codePattern = patternOf(txtPJCODE), namePattern = patternOf(txtPJNAME);
    Result<ProjectPage> searched =
        CallStore(this, m_store, [&] { return m_store.searchProjects({codePattern, namePattern, FirstPageRows}); });
    if (!searched.ok()) {
        MessagePresenter::show(this, caption::Project,
                               FailureMessage(*searched.error, m_store.name(), msg::ProjectSearchFailed));
        return Search::Failed;
    }
    ProjectPage &found = searched.value;
    if (found.rows.isEmpty())
        return Search::NotFound;

    m_nextPage->stop();
    m_paging.reset();
    if (found.next) {
        m_paging = Paging{codePattern, namePattern, *found.next};
        m_nextPage->start();
    }
    // Filled in one reset while hidden, so that the list is drawn once.
    fgdPRJMST->setVisible(false);
    m_projects->setProjects(std::move(found.rows));
    // List mode, the first result's code and name selected.
    fgdPRJMST->setMode(FlexGrid::Mode::List);
    fgdPRJMST->selectRow(0);
    fgdPRJMST->setVisible(true);
    // Drawn now, before the next page is read.
    fgdPRJMST->repaint();
    return Search::Found;
}

void frmPJViewer::ListNextPage()
{
    if (!m_paging)
        return;
    const ProjectQuery next{m_paging->codePattern, m_paging->namePattern, NextPageRows, m_paging->after};
    Result<ProjectPage> searched = CallStore(this, m_store, [&] { return m_store.searchProjects(next); });
    if (!searched.ok()) {
        // The rows listed stay; the user is told that the list stops short.
        m_paging.reset();
        MessagePresenter::show(this, caption::Project,
                               FailureMessage(*searched.error, m_store.name(), msg::ProjectSearchFailed));
        return;
    }
    ProjectPage &found = searched.value;
    m_projects->appendProjects(std::move(found.rows));
    if (!found.next) {
        m_paging.reset();
        return;
    }
    m_paging->after = *found.next;
    m_nextPage->start();
}

void frmPJViewer::PickProject()
{
    const int row = fgdPRJMST->currentRow();
    if (row < 0)
        return;
    m_picked = m_projects->at(row);
    accept();
}

bool frmPJViewer::CheckProjectInput()
{
    QLineEdit *fault = nullptr;
    const Message *message = nullptr;
    if (TrimBlanks(txtPJCODE->text()).isEmpty()) {
        fault = txtPJCODE;
        message = &msg::CodeRequired;
    } else if (TrimBlanks(txtPJNAME->text()).isEmpty()) {
        fault = txtPJNAME;
        message = &msg::ProjectNameRequired;
    }
    if (!fault)
        return true;
    MessagePresenter::show(this, caption::Project, *message);
    MoveFocus(fault);
    fault->selectAll();
    return false;
}

void frmPJViewer::cmdSerch_Click()
{
    const Search result = SearchProjects();
    if (result == Search::Found) {
        MoveFocus(fgdPRJMST);
        return;
    }
    if (result == Search::NotFound) // a failure has told its cause
        MessagePresenter::show(this, caption::Project, msg::NoProjectFound);
    MoveFocus(txtPJCODE);
}

void frmPJViewer::cmdUpdate_Click()
{
    if (!CheckProjectInput())
        return;
    if (!MessagePresenter::show(this, caption::Project, msg::ConfirmProjectUpdate))
        return;
    WaitCursor wait;
    // The text exactly as typed: blanks around a code are part of it.
    const QString code = txtPJCODE->text(), name = txtPJNAME->text();
    const Outcome updated = CallStore(this, m_store, [&] { return m_store.updateProjectMaster(code, name); });
    wait.restore();
    if (updated.ok())
        MessagePresenter::show(this, caption::Project, msg::ProjectUpdated);
    else if (const auto where = updated.error->rule == StoreError::Rule::UnstorableCharacter
                                    ? FindUnstorableProject(code, name)
                                    : std::nullopt)
        MessagePresenter::show(this, caption::Project, UnstorableMessage(*where));
    else
        MessagePresenter::show(this, caption::Project,
                               FailureMessage(*updated.error, m_store.name(), msg::ProjectUpdateFailed));
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
