#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace worvane
{

class FlexGrid;

// The project window: searches the project master by code and name patterns, lists the matches, hands a
// picked project back into the main window's code field and name display, and adds or changes projects.
// Created for each opening; nothing is kept between openings.
class frmPJViewer : public QDialog
{
    Q_OBJECT
public:
    // A pick writes the list's code into targetCode and its name into targetName, then closes the window.
    frmPJViewer(QLineEdit *targetCode, QLabel *targetName, QWidget *parent = nullptr);

    static const QString Caption;

    // Empty fields, and the list with its header row only.
    void InitProjectWindow();
    // Lists the projects that match the typed patterns. False when none matched or the search failed
    // (failed() then tells which); in both cases the list keeps what it showed.
    bool SearchProjects();
    // Writes the current list row into the main window and closes; does nothing while the list is empty.
    void PickProject();
    // Code, then name, must not be blank; the first that is gets a warning and the focus.
    bool CheckProjectInput();
    // Adds the typed project, or overwrites the first one whose code or name equals the typed one.
    bool UpdateProjectMaster();

    // True when the last SearchProjects could not reach the database (rather than finding nothing).
    bool searchFailed() const { return m_searchFailed; }

    QLabel *lblPJCode;
    QLineEdit *txtPJCODE;
    QLabel *lblPJNAME;
    QLineEdit *txtPJNAME;
    QPushButton *cmdSerch;
    QPushButton *cmdUpdate;
    FlexGrid *fgdPRJMST;
    QPushButton *cmdClose;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cmdSerch_Click();
    void cmdUpdate_Click();
    void fgdPRJMST_KeyPress(int &keyCode);

    QPointer<QLineEdit> m_targetCode;
    QPointer<QLabel> m_targetName;
    bool m_searchFailed = false;
};

} // namespace worvane
