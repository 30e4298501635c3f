#pragma once

#include "app/storecall.h"
#include "store/store.h"

#include <QDialog>
#include <QTimer>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace worvane
{

class SearchModel;

// The full-text search window (全文検索): every saved work item whose title or detail holds all the
// words typed, newest day first, found as the words are typed. A project code pattern and a date
// range narrow it. Enter or a double-click on a hit opens its day in the main window with the item
// current. The index is built the first time the window opens on a file (with progress, cancelable); a
// build that finds no room on the disk says so once, and the search reads every item instead.
class frmSearch : public QDialog
{
    Q_OBJECT
public:
    struct Pick {
        QString code;
        QString date;
        QString itemCode;
    };

    // The store is the program's: it remembers a build that found no room, for the session.
    explicit frmSearch(Store &store, QWidget *parent = nullptr);
    static constexpr int SearchPageSize = 100;

    // Builds the index when the file has none yet and may take one, then shows the window modally.
    static std::optional<Pick> open(Store &store, QWidget *parent);
    const std::optional<Pick> &picked() const { return m_picked; }

    // The first page of the words and filters as they stand now (what the typing timer runs). The search
    // runs beside the window: keys go on being taken, and a key that changes the search stops it.
    void runSearch();
    // Whether a search is running now.
    bool searching() const { return m_call.running(); }

signals:
    // A search's page has been put in the list.
    void pageShown();

private:
    // Builds the index, showing progress when it takes a while; true when it is ready.
    bool buildIndex();
    // Runs the search for a page: the first of `wanted`, or the one after the list's.
    void startPage(bool first);
    void pageFound(bool first, const SearchRequest &asked, const Result<SearchPage> &found);
    void fetchNextPage();
    void openHit(const QModelIndex &index);
    SearchRequest request() const;
    void showCount();

    Store &m_store;
    SearchModel *m_model;
    QLineEdit *txtQUERY;
    QLineEdit *txtPJCODE;
    QLineEdit *txtFROM;
    QLineEdit *txtTO;
    QTableView *fgdRESULT;
    QLabel *lblCount;
    QPushButton *cmdClose;
    QTimer m_typing;
    QTimer m_busy;            // says that a search runs, once it has taken a moment
    bool m_busyShown = false; // and it says so
    BackgroundCall m_call;
    SearchRequest m_wanted;            // the search asked for last
    bool m_startWanted = false;        // to start once the running one is back
    bool m_stale = false;              // the keys changed the search since it started
    bool m_toHitsWhenFound = false;    // Enter was pressed: the hits take the focus once they come
    SearchRequest m_shown;             // the search the list shows
    std::optional<QString> m_nextPage; // where its next page starts
    bool m_indexed = true;
    bool m_failed = false; // the last search failed: its box has been shown
    std::optional<Pick> m_picked;
};

} // namespace worvane
