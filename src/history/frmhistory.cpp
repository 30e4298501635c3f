#include "history/frmhistory.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "core/messages.h"
#include "models/historymodel.h"
#include "widgets/fieldrules.h"
#include "widgets/screen.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace worvane
{

namespace
{
QTableView *makeTable(QWidget *parent, const char *name, const QString &accessibleName, QAbstractItemModel *model)
{
    auto *table = Make<QTableView>(parent, name);
    table->setAccessibleName(accessibleName);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}
} // namespace

frmHistory::frmHistory(Store &store, const QString &code, const QString &date, DayVersion screen, bool canRestore,
                       QWidget *parent)
    : QDialog(parent), m_screen(std::move(screen)), m_versions(new VersionListModel(this)),
      m_diff(new VersionDiffModel(this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(caption::History);
    setFont(ScreenFont(9));
    setFixedSize(Twips(12600), Twips(6600));
    lblDay = MakeLabel(this, "lblDay", QString(), {105, 105, 12390, 240});
    lblDay->setFont(ScreenFont(10, true));
    fgdVERSIONS = makeTable(this, "fgdVERSIONS", QStringLiteral("保存された版"), m_versions);
    PlaceTwips(fgdVERSIONS, 105, 420, 5700, 5400);
    fgdDIFF = makeTable(this, "fgdDIFF", QStringLiteral("この版と画面の違い"), m_diff);
    fgdDIFF->setSelectionMode(QAbstractItemView::NoSelection);
    fgdDIFF->setFocusPolicy(Qt::NoFocus);
    PlaceTwips(fgdDIFF, 5910, 420, 6585, 5400);
    cmdRestore = MakeButton(this, "cmdRestore", QStringLiteral("復元(&R)"), {9150, 6000, 1600, 345}, 9.75, false);
    cmdRestore->setToolTip(QStringLiteral("選んだ版を画面に戻します（F1 で保存します）"));
    auto *close = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {10895, 6000, 1600, 345}, 9.75, false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdRestore, &QPushButton::clicked, this, [this] {
        const QModelIndex current = fgdVERSIONS->currentIndex();
        if (!current.isValid())
            return;
        m_chosen = m_versions->at(current.row());
        accept();
    });
    // Enter on a version goes to 復元 (once this Enter is done with: it is not 復元's), a double-click
    // restores it.
    connect(fgdVERSIONS, &QTableView::activated, this, [this] {
        if (cmdRestore->isEnabled())
            QTimer::singleShot(0, cmdRestore, qOverload<>(&QWidget::setFocus));
    });
    connect(fgdVERSIONS, &QTableView::doubleClicked, cmdRestore, &QPushButton::click);

    const Result<QList<DayVersion>> read = CallStore(this, store, [&] { return store.dayHistory(code, date); });
    if (!read.ok())
        MessagePresenter::show(this, caption::History, FailureMessage(*read.error, store.name(), msg::LoadFailed));
    const bool anyPerson =
        std::any_of(read.value.begin(), read.value.end(), [](const DayVersion &v) { return !v.person.isEmpty(); });
    m_versions->setVersions(read.value);
    fgdVERSIONS->setColumnHidden(VersionListModel::Person, !anyPerson);
    fgdVERSIONS->resizeColumnsToContents();
    // The two texts share what the number and the mark leave of the width.
    QHeaderView *header = fgdDIFF->horizontalHeader();
    const int label = std::max(fgdDIFF->fontMetrics().horizontalAdvance(QStringLiteral("開始")) + 12,
                               header->sectionSizeHint(VersionDiffModel::Label));
    const int mark = std::max(fgdDIFF->fontMetrics().horizontalAdvance(QStringLiteral("変更")) + 12,
                              header->sectionSizeHint(VersionDiffModel::Change));
    header->setStretchLastSection(false);
    header->setSectionResizeMode(VersionDiffModel::Version, QHeaderView::Stretch);
    header->setSectionResizeMode(VersionDiffModel::Screen, QHeaderView::Stretch);
    fgdDIFF->setColumnWidth(VersionDiffModel::Label, label);
    fgdDIFF->setColumnWidth(VersionDiffModel::Change, mark);
    lblDay->setText(QStringLiteral("%1　%2%3").arg(code, date,
                                                   m_versions->isEmpty() ? QStringLiteral("　（保存された版はありません）")
                                                                         : QString()));
    cmdRestore->setEnabled(canRestore && !m_versions->isEmpty());
    connect(fgdVERSIONS->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { showVersion(current.row()); });
    if (!m_versions->isEmpty())
        fgdVERSIONS->setCurrentIndex(m_versions->index(0, VersionListModel::SavedAt));
    fgdVERSIONS->setFocus();
}

void frmHistory::keyPressEvent(QKeyEvent *event)
{
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

void frmHistory::showVersion(int row)
{
    if (row < 0 || row >= m_versions->rowCount())
        return m_diff->setLines({});
    m_diff->setLines(CompareWithScreen(m_versions->at(row), m_screen.startTime, m_screen.endTime, m_screen.items));
}

std::optional<DayVersion> frmHistory::pick(Store &store, const QString &code, const QString &date,
                                           const DayVersion &screen, bool canRestore, QWidget *parent)
{
    frmHistory window(store, code, date, screen, canRestore, parent);
    window.exec();
    ReturnFocusTo(parent);
    return window.m_chosen;
}

} // namespace worvane
