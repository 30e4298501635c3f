#pragma once

#include "core/values.h"
#include "store/store.h"

#include <QDialog>
#include <QString>
#include <optional>

class QLabel;
class QTimer;
class QLineEdit;
class QPushButton;

namespace worvane
{

class FlexGrid;
class ProjectModel;

// The project window: searches the project master by code and name patterns, lists the matches, and
// adds or changes projects. A pick (double-click or Enter on the list) closes it with the picked
// project. Created for each opening; nothing is kept between openings.
class frmPJViewer : public QDialog
{
    Q_OBJECT
public:
    // The first page holds every project a master of up to 32,767 rows has, in a frame; a longer list
    // goes on in pages read in a few milliseconds each, so that keys and clicks between them are taken
    // within a frame.
    static constexpr int FirstPageRows = 32768;
    static constexpr int NextPageRows = 8192;

    explicit frmPJViewer(Store &store, QWidget *parent = nullptr);

    // Shows the window modally; the project picked, or nothing when it was closed without a pick.
    static std::optional<ProjectRow> pick(Store &store, QWidget *parent);

    // The project picked before the window closed; nothing while none was.
    const std::optional<ProjectRow> &picked() const { return m_picked; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Search { Found, NotFound, Failed };

    // Lists the projects that match the typed patterns; when none matched or the search failed, the
    // list keeps what it showed. The first page is shown at once; the pages after it come in while
    // the window goes on taking keys and clicks.
    Search SearchProjects();
    // The next page of the search being listed.
    void ListNextPage();
    // Takes the current list row and closes; does nothing while the list has no current row.
    void PickProject();
    // Code, then name, must not be blank; the first that is gets a warning and the focus.
    bool CheckProjectInput();

    void cmdSerch_Click();
    void cmdUpdate_Click();
    void fgdPRJMST_KeyPress(int &keyCode);

    Store &m_store;
    std::optional<ProjectRow> m_picked;
    ProjectModel *m_projects;
    // The search whose later pages are still to come, and where its last page ended.
    struct Paging {
        std::optional<QString> codePattern, namePattern;
        ProjectPageEnd after;
    };
    std::optional<Paging> m_paging;
    QTimer *m_nextPage;

    QLabel *lblPJCode;
    QLineEdit *txtPJCODE;
    QLabel *lblPJNAME;
    QLineEdit *txtPJNAME;
    QPushButton *cmdSerch;
    QPushButton *cmdUpdate;
    FlexGrid *fgdPRJMST;
    QPushButton *cmdClose;
};

} // namespace worvane
