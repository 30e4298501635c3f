#pragma once

#include "core/values.h"
#include "store/store.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;
class QTableView;

namespace worvane
{

class VersionListModel;
class VersionDiffModel;

// 履歴: the saved versions of the day on the screen, newest first, and the one selected beside the screen
// with what differs marked. 復元 hands the version back to be put on the screen, where F1 saves it as any
// day is saved (so a save is undone by F10, Enter, 復元, F1).
class frmHistory : public QDialog
{
    Q_OBJECT
public:
    // screen: the times and items on the screen now. A day that may not be changed offers no 復元.
    frmHistory(Store &store, const QString &code, const QString &date, DayVersion screen, bool canRestore,
               QWidget *parent = nullptr);

    // The version to put on the screen, or nothing when the window was closed.
    static std::optional<DayVersion> pick(Store &store, const QString &code, const QString &date,
                                          const DayVersion &screen, bool canRestore, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showVersion(int row);

    DayVersion m_screen;
    VersionListModel *m_versions;
    VersionDiffModel *m_diff;
    QLabel *lblDay;
    QTableView *fgdVERSIONS;
    QTableView *fgdDIFF;
    QPushButton *cmdRestore;
    std::optional<DayVersion> m_chosen;
};

} // namespace worvane
