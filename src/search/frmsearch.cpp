#include "search/frmsearch.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "widgets/fieldrules.h"
#include "core/modcommon.h"
#include "widgets/screen.h"
#include "widgets/waitcursor.h"
#include "models/searchmodel.h"
#include "core/dayrules.h"
#include "core/messages.h"
#include "core/searchtext.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>

namespace worvane
{

Q_LOGGING_CATEGORY(lcSearch, "worvane.search")

namespace
{
// The detail column: the piece around the hit, the hit itself marked.
class SnippetDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QStringList parts = index.data(SearchModel::SnippetRole).toStringList();
        if (parts.size() != 3 || parts[1].isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view);

        painter->save();
        QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view).adjusted(2, 0, -2, 0);
        painter->setClipRect(text);
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics plain(option.font);
        QFont boldFont = option.font;
        boldFont.setBold(true);
        const QFontMetrics bold(boldFont);
        int x = text.left();
        const int baseline = text.top() + (text.height() + plain.ascent() - plain.descent()) / 2;
        painter->drawText(x, baseline, parts[0]);
        x += plain.horizontalAdvance(parts[0]);
        const int hitWidth = bold.horizontalAdvance(parts[1]);
        painter->fillRect(QRect(x, text.top() + 1, hitWidth, text.height() - 2), QColor(255, 230, 120));
        painter->setPen(Qt::black);
        painter->setFont(boldFont);
        painter->drawText(x, baseline, parts[1]);
        x += hitWidth;
        painter->setFont(option.font);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(x, baseline, parts[2]);
        painter->restore();
    }
};

// A typed date as stored, empty for an empty field, nothing for one that is not a date (yet).
std::optional<QString> dateBound(const QLineEdit *field)
{
    const QString typed = TrimBlanks(field->text());
    if (typed.isEmpty())
        return QString();
    const QString date = formatYmd(typed);
    if (!IsValidYmd(QString(date).remove(u'/')))
        return std::nullopt;
    return date;
}
} // namespace

frmSearch::frmSearch(Store &store, QWidget *parent)
    : QDialog(parent), m_store(store), m_model(new SearchModel(this)), m_call(store)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(caption::Search);
    setFont(ScreenFont(9));
    setFixedSize(Twips(15000), Twips(7100));

    MakeLabel(this, "lblQuery", QStringLiteral("検索語"), {105, 135, 795, 195});
    txtQUERY = MakeLineEdit(this, "txtQUERY", QStringLiteral("検索語"), {900, 100, 6900, 285});
    txtQUERY->setToolTip(QStringLiteral("空白で区切った語をすべて含む作業項目を探します（Enter で一覧へ）"));
    MakeLabel(this, "lblPJCode", QStringLiteral("PJコード"), {8000, 135, 795, 195});
    txtPJCODE = MakeLineEdit(this, "txtPJCODE", QStringLiteral("PJコード"), {8800, 100, 1200, 285});
    txtPJCODE->setToolTip(QStringLiteral("* と ? で絞り込み"));
    MakeLabel(this, "lblRange", QStringLiteral("期間"), {10200, 135, 450, 195});
    txtFROM = MakeLineEdit(this, "txtFROM", QStringLiteral("期間 開始"), {10700, 100, 1300, 285});
    MakeLabel(this, "lblTo", QStringLiteral("～"), {12050, 135, 195, 195});
    txtTO = MakeLineEdit(this, "txtTO", QStringLiteral("期間 終了"), {12300, 100, 1300, 285});

    fgdRESULT = Make<QTableView>(this, "fgdRESULT");
    fgdRESULT->setAccessibleName(QStringLiteral("検索結果"));
    fgdRESULT->setModel(m_model);
    fgdRESULT->setItemDelegateForColumn(SearchModel::Detail, new SnippetDelegate(fgdRESULT));
    fgdRESULT->setSelectionMode(QAbstractItemView::SingleSelection);
    fgdRESULT->setSelectionBehavior(QAbstractItemView::SelectRows);
    fgdRESULT->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fgdRESULT->setTabKeyNavigation(false);
    fgdRESULT->setWordWrap(false);
    fgdRESULT->verticalHeader()->hide();
    fgdRESULT->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    fgdRESULT->horizontalHeader()->setHighlightSections(false);
    fgdRESULT->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {1300, 1100, 2400, 450, 3600};
    for (int c = 0; c < int(std::size(widths)); ++c)
        fgdRESULT->setColumnWidth(c, Twips(widths[c]));
    PlaceTwips(fgdRESULT, 105, 500, 14790, 6000);

    lblCount = MakeLabel(this, "lblCount", QString(), {105, 6620, 10000, 240});
    cmdClose = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {13245, 6560, 1650, 345}, 9.75, false);

    setTabOrder(txtQUERY, txtPJCODE);
    setTabOrder(txtPJCODE, txtFROM);
    setTabOrder(txtFROM, txtTO);
    setTabOrder(txtTO, fgdRESULT);
    setTabOrder(fgdRESULT, cmdClose);
    for (QLineEdit *field : {txtPJCODE, txtFROM, txtTO})
        SetInputMethodEnabled(field, false);
    for (QLineEdit *field : {txtFROM, txtTO})
        connect(events(field), &FieldEvents::lostFocus, field, [field] { field->setText(formatYmd(field->text())); });

    // Typing searches once the keys pause; Enter searches at once and goes to the hits.
    m_typing.setSingleShot(true);
    m_typing.setInterval(200);
    connect(&m_typing, &QTimer::timeout, this, &frmSearch::runSearch);
    m_busy.setSingleShot(true);
    m_busy.setInterval(150);
    connect(&m_busy, &QTimer::timeout, this, [this] {
        m_busyShown = true;
        showCount();
    });
    for (QLineEdit *field : {txtQUERY, txtPJCODE, txtFROM, txtTO}) {
        // A key that changes the search stops the one running: its hits would be for other words.
        connect(field, &QLineEdit::textEdited, this, [this] {
            m_typing.start();
            m_stale = true;
            m_toHitsWhenFound = false;
            m_call.cancel();
        });
        connect(events(field), &FieldEvents::gotFocus, field, [field] { SelectAllOnFocus(field); });
        connect(events(field), &FieldEvents::keyDown, this, [this](int key, Qt::KeyboardModifiers) {
            if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Down)
                return;
            // A date that is not one is said, at Enter, rather than left out of the search unseen.
            for (QLineEdit *date : {txtFROM, txtTO})
                if (key != Qt::Key_Down && !dateBound(date)) {
                    m_typing.stop();
                    MessagePresenter::show(this, caption::Search, msg::RangeInvalid);
                    MoveFocus(date);
                    return;
                }
            if (m_typing.isActive() || key != Qt::Key_Down) {
                m_typing.stop();
                m_toHitsWhenFound = true;
                runSearch();
            } else if (m_model->rowCount() > 0) {
                MoveFocus(fgdRESULT);
            }
        });
    }
    connect(fgdRESULT, &QTableView::activated, this, &frmSearch::openHit);
    connect(fgdRESULT, &QTableView::doubleClicked, this, &frmSearch::openHit);
    connect(fgdRESULT->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == fgdRESULT->verticalScrollBar()->maximum())
            fetchNextPage();
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    txtQUERY->setFocus();
}

std::optional<frmSearch::Pick> frmSearch::open(Store &store, QWidget *parent)
{
    frmSearch window(store, parent);
    window.m_indexed = window.buildIndex();
    window.showCount();
    window.exec();
    ReturnFocusTo(parent);
    return window.picked();
}

bool frmSearch::buildIndex()
{
    const Result<IndexStatus> status = m_store.indexStatus();
    if (!status.ok() || status.value.ready)
        return status.value.ready;
    if (!status.value.writable)
        return false;
    QProgressDialog progress(msg::IndexBuilding, QStringLiteral("キャンセル"), 0, 0, parentWidget());
    progress.setObjectName(QStringLiteral("dlgIndexProgress"));
    progress.setWindowTitle(caption::Search);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(400);
    const Outcome built = m_store.buildIndex([&progress](qint64 done, qint64 total) {
        progress.setMaximum(int(std::min<qint64>(total, INT_MAX)));
        progress.setValue(int(std::min<qint64>(done, INT_MAX)));
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!built.ok())
        qCWarning(lcSearch).noquote() << "the search index could not be built:" << built.error->text;
    if (built.failedAs(StoreError::Kind::DiskFull))
        MessagePresenter::show(parentWidget(), caption::Search, msg::IndexNoRoom);
    return m_store.indexStatus().value.ready;
}

SearchRequest frmSearch::request() const
{
    SearchRequest r{txtQUERY->text(), std::nullopt, {}, {}};
    if (!TrimBlanks(txtPJCODE->text()).isEmpty())
        r.codePattern = TrimBlanks(txtPJCODE->text());
    // A date still being typed does not narrow the search yet.
    r.from = dateBound(txtFROM).value_or(QString());
    r.to = dateBound(txtTO).value_or(QString());
    return r;
}

namespace
{
// How long a key waits for its search: no longer than a frame.
constexpr int FrameMs = 16;
} // namespace

void frmSearch::runSearch()
{
    m_typing.stop();
    m_wanted = request();
    m_stale = false;
    if (m_call.running()) {
        m_startWanted = true;
        m_call.cancel();
        return;
    }
    startPage(true);
}

void frmSearch::startPage(bool first)
{
    const SearchRequest asked = first ? m_wanted : m_shown;
    const QString before = first ? QString() : m_nextPage.value_or(QString());
    m_call.start(
        this, [&store = m_store, asked, before] { return store.search(asked, before, SearchPageSize); },
        [this, first, asked](const Result<SearchPage> &found) { pageFound(first, asked, found); });
    if (!m_busy.isActive())
        m_busy.start();
    m_call.settle(FrameMs); // a quick page shows with the key that asked for it, before the next key
}

void frmSearch::pageFound(bool first, const SearchRequest &asked, const Result<SearchPage> &found)
{
    m_busy.stop();
    if (std::exchange(m_startWanted, false)) {
        startPage(true); // asked for while this one ran: this one's hits are for other words
        return;
    }
    if (m_stale || found.failedAs(StoreError::Kind::Cancelled)) {
        m_busyShown = false;
        showCount(); // the keys changed the search: the timer starts the new one
        return;
    }
    if (!found.ok()) {
        m_busyShown = false;
        if (first)
            m_model->setHits({}, {});
        m_nextPage.reset();
        m_toHitsWhenFound = false;
        showCount();
        if (first && !std::exchange(m_failed, true))
            MessagePresenter::show(this, caption::Search, FailureMessage(*found.error, m_store.name(), msg::SearchFailed));
        return;
    }
    const SearchPage &page = found.value;
    if (first) {
        m_shown = asked;
        m_failed = false;
        m_indexed = page.indexed || SearchWords(asked.text).isEmpty();
        m_model->setHits(SearchWords(asked.text), page.hits);
        if (m_model->rowCount() > 0)
            fgdRESULT->setCurrentIndex(m_model->index(0, SearchModel::Date));
    } else {
        m_model->appendHits(page.hits);
    }
    m_nextPage = page.nextBefore;
    // A page read item by item ends early, to show what it found: reading goes on until the list holds a
    // page.
    const bool more = m_nextPage && page.hits.size() < SearchPageSize && m_model->rowCount() < SearchPageSize;
    if (m_toHitsWhenFound && (m_model->rowCount() > 0 || !more)) {
        m_toHitsWhenFound = false;
        if (m_model->rowCount() > 0 && focusWidget() != fgdRESULT && focusWidget() != cmdClose)
            MoveFocus(fgdRESULT);
    }
    if (more)
        startPage(false);
    else
        m_busyShown = false;
    showCount();
    emit pageShown();
}

void frmSearch::fetchNextPage()
{
    if (m_nextPage && !m_call.running() && !m_stale)
        startPage(false);
}

void frmSearch::showCount()
{
    const bool running = m_call.running() && m_busyShown;
    QString text;
    if (!SearchWords(m_shown.text).isEmpty())
        text = msg::HitCount(m_model->rowCount(), m_nextPage.has_value() || running);
    if (running)
        text += (text.isEmpty() ? QString() : QStringLiteral("　")) + msg::Searching;
    if (!m_indexed)
        text += (text.isEmpty() ? QString() : QStringLiteral("　")) + msg::SearchWithoutIndex;
    lblCount->setText(text);
}

void frmSearch::openHit(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const SearchHit &hit = m_model->at(index.row());
    m_picked = Pick{hit.code, hit.date, hit.itemCode};
    accept();
}

} // namespace worvane
