#include "month/frmmonthview.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "app/savefiledialog.h"
#include "widgets/fieldrules.h"
#include "widgets/frozentable.h"
#include "core/modcommon.h"
#include "widgets/screen.h"
#include "widgets/waitcursor.h"
#include "models/monthmodel.h"
#include "print/monthpdf.h"
#include "ranges/rangechart.h"
#include "ranges/rangeexport.h"
#include "widgets/stackedbarchart.h"
#include "core/dayrules.h"

#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>

namespace worvane
{

namespace
{
std::optional<QString> patternOf(const QLineEdit *field)
{
    return TrimBlanks(field->text()).isEmpty() ? std::nullopt : std::optional(field->text());
}

// Each column as wide as resizeColumnsToContents makes it (its heading or its widest cell), the cell asked
// for its size being only the one of the widest text: every cell of a column has the same font, and the
// text's advance is cheap beside a cell's laid-out size, which for a month of projects took milliseconds.
// The widest the name column gets.
constexpr int NameTwips = 2700;

void fitColumns(QTableView *view)
{
    const QAbstractItemModel *model = view->model();
    const QFontMetrics metrics(view->font());
    QHash<QString, int> advances; // a month's cells hold few different texts
    for (int column = 0; column < model->columnCount(); ++column) {
        int widest = -1, widestRow = -1;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->index(row, column).data().toString();
            auto advance = advances.constFind(text);
            if (advance == advances.constEnd()) {
                // As a cell lays it out: its widest line, blanks and all.
                int widestLine = 0;
                for (const QStringView line : QStringView(text).split(u'\n'))
                    widestLine = std::max(widestLine, metrics.horizontalAdvance(line.toString()));
                advance = advances.insert(text, widestLine);
            }
            if (*advance > widest) {
                widest = *advance;
                widestRow = row;
            }
        }
        int width = view->horizontalHeader()->sectionSizeHint(column);
        if (widestRow >= 0)
            width = std::max(width, view->sizeHintForIndex(model->index(widestRow, column)).width() +
                                        (view->showGrid() ? 1 : 0));
        view->setColumnWidth(column, width);
    }
}

// The month's hours drawn once per text: a busy month is hundreds of cells holding a few dozen different
// texts, which the style lays out again at every paint. A day's or total's cell neither selected nor
// current is drawn by the style once, into a picture of its size on the view's base colour, and the
// picture is reused for every cell alike; an empty one has nothing to draw. Codes and names, each
// different, are drawn by the style.
class MonthCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() < MonthModel::FirstDay ||
            option.state & (QStyle::State_Selected | QStyle::State_HasFocus) ||
            index.data(Qt::BackgroundRole).isValid() || index.data(Qt::DecorationRole).isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty())
            return;
        const qreal ratio = painter->device()->devicePixelRatioF();
        const QString key =
            QStringLiteral("%1\x1f%2\x1f%3\x1f%4x%5\x1f%6\x1f%7\x1f%8\x1f%9")
                .arg(text, index.data(Qt::ForegroundRole).value<QBrush>().color().name(QColor::HexArgb))
                .arg(index.data(Qt::TextAlignmentRole).toInt())
                .arg(option.rect.width())
                .arg(option.rect.height())
                .arg(ratio)
                .arg(option.font.key())
                .arg(option.palette.cacheKey())
                .arg(int(option.state & (QStyle::State_Enabled | QStyle::State_Active)));
        auto drawn = m_drawn.constFind(key);
        if (drawn == m_drawn.constEnd()) {
            if (m_drawn.size() >= 1024) // months of other shapes and fonts: start again
                m_drawn.clear();
            QPixmap picture(option.rect.size() * ratio);
            picture.setDevicePixelRatio(ratio);
            // On what lies under a cell, the view's base: text is blended otherwise on a transparent picture.
            const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                               : option.state & QStyle::State_Active   ? QPalette::Active
                                                                                       : QPalette::Inactive;
            picture.fill(option.palette.color(group, QPalette::Base));
            QPainter onPicture(&picture);
            QStyleOptionViewItem at(option);
            at.rect.moveTopLeft(QPoint(0, 0));
            QStyledItemDelegate::paint(&onPicture, at, index);
            onPicture.end();
            drawn = m_drawn.insert(key, picture);
        }
        painter->drawPixmap(option.rect.topLeft(), *drawn);
    }

private:
    mutable QHash<QString, QPixmap> m_drawn;
};

} // namespace

frmMonthView::frmMonthView(Store &store, Settings settings, const QDate &month, QWidget *parent)
    : QDialog(parent), m_store(store), m_settings(std::move(settings)),
      m_model(new MonthModel(this))
{
    setObjectName(QStringLiteral("frmMonthView"));
    setWindowTitle(caption::Month);
    setFont(ScreenFont(9));
    setFixedSize(Twips(16500), Twips(7200));

    MakeLabel(this, "lblPJCode", QStringLiteral("PJコード"), {105, 135, 795, 195});
    txtPJCODE = MakeLineEdit(this, "txtPJCODE", QStringLiteral("PJコード"), {900, 100, 1200, 285});
    txtPJCODE->setToolTip(QStringLiteral("* と ? で絞り込み（Enter で表示）"));
    SetInputMethodEnabled(txtPJCODE, false);
    lblMonth = MakeLabel(this, "lblMonth", QString(), {6000, 120, 4500, 240});
    lblMonth->setAlignment(Qt::AlignCenter);
    lblMonth->setFont(ScreenFont(11, true));
    auto *previous = m_previous =
        MakeButton(this, "cmdPrevious", QStringLiteral("◀ 前月[PgUp]"), {4200, 90, 1650, 315}, 9, false);
    auto *next = m_next = MakeButton(this, "cmdNext", QStringLiteral("翌月[PgDn] ▶"), {10650, 90, 1650, 315}, 9, false);

    // A lead of the team database reads other people's days too.
    cmbPERSON = Make<QComboBox>(this, "cmbPERSON");
    cmbPERSON->setAccessibleName(PersonHeading);
    PlaceTwips(cmbPERSON, 13200, 90, 3195, 315);
    auto *personLabel = MakeLabel(this, "lblPerson", PersonHeading, {12450, 135, 700, 195});
    const TeamPeople team = CallStore(this, m_store, [this] { return m_store.teamPeople(); }).value;
    m_self = team.self;
    if (team.lead) {
        QStringList names = team.names;
        if (!names.contains(m_self))
            names.prepend(m_self);
        cmbPERSON->addItems(QStringList{EveryoneName} + names);
        cmbPERSON->setCurrentText(m_self);
    } else {
        cmbPERSON->hide();
        personLabel->hide();
    }

    auto *grid = Make<FrozenTableView>(this, "fgdMONTH");
    fgdMONTH = grid;
    fgdMONTH->setAccessibleName(QStringLiteral("月報一覧"));
    m_daysOff = DaysOff::load(m_settings.companyHolidays);
    m_model->setDaysOff(m_daysOff);
    fgdMONTH->setModel(m_model);
    fgdMONTH->setItemDelegate(new MonthCellDelegate(fgdMONTH));
    fgdMONTH->setSelectionMode(QAbstractItemView::SingleSelection);
    fgdMONTH->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fgdMONTH->setTabKeyNavigation(false);
    fgdMONTH->verticalHeader()->hide();
    fgdMONTH->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    fgdMONTH->horizontalHeader()->setHighlightSections(false);
    PlaceTwips(fgdMONTH, 105, 525, 16290, 5400);
    // The code and the name, the totals of each row and of each day stay in view.
    grid->setFrozen(MonthModel::FirstDay, 1, 1);

    MakeLabel(this, "lblRange", QStringLiteral("期間"), {105, 6165, 600, 195});
    txtFROM = MakeLineEdit(this, "txtFROM", QStringLiteral("期間 開始"), {700, 6120, 1300, 285});
    MakeLabel(this, "lblTo", QStringLiteral("～"), {2050, 6165, 195, 195});
    txtTO = MakeLineEdit(this, "txtTO", QStringLiteral("期間 終了"), {2300, 6120, 1300, 285});
    cmdCsv = MakeButton(this, "cmdCsv", QStringLiteral("CSV出力[F5]"), {3900, 6090, 1650, 345}, 9, false);
    cmdXlsx = MakeButton(this, "cmdXlsx", QStringLiteral("Excel出力[F6]"), {5700, 6090, 1650, 345}, 9, false);
    cmdText = MakeButton(this, "cmdText", QStringLiteral("月報出力[F7]"), {7500, 6090, 1650, 345}, 9, false);
    cmdChart = MakeButton(this, "cmdChart", QStringLiteral("グラフ[F8]"), {9300, 6090, 1650, 345}, 9, false);
    cmdChart->setToolTip(QStringLiteral("月の時間をプロジェクトごとの積み上げ棒グラフで表示します（もう一度で一覧）"));
    cmdYear = MakeButton(this, "cmdYear", QStringLiteral("年間[F9]"), {11100, 6090, 1650, 345}, 9, false);
    cmdYear->setToolTip(QStringLiteral("1 年の時間を月ごとのグラフで表示します（もう一度で月）"));
    cmdPdf = MakeButton(this, "cmdPdf", QStringLiteral("PDF出力[F10]"), {12900, 6090, 1650, 345}, 9, false);
    cmdPdf->setToolTip(QStringLiteral("期間の月報（一覧・グラフ・作業項目）を PDF に出力します"));
    cmdClose = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {14700, 6090, 1650, 345}, 9.75, false);
    chtMONTH = Make<StackedBarChart>(this, "chtMONTH");
    chtMONTH->setAccessibleName(QStringLiteral("月報グラフ"));
    PlaceTwips(chtMONTH, 105, 525, 16290, 5400);
    chtMONTH->hide();
    for (QLineEdit *field : {txtFROM, txtTO}) {
        SetInputMethodEnabled(field, false);
        connect(events(field), &FieldEvents::gotFocus, field, [field] { SelectAllOnFocus(field); });
        connect(events(field), &FieldEvents::lostFocus, field, [field] { field->setText(formatYmd(field->text())); });
    }
    // As the main window's date: digits only, and Enter goes on, from 開始 to 終了 to the first export.
    for (const auto &[field, then] : {std::pair<QLineEdit *, QWidget *>{txtFROM, txtTO}, {txtTO, cmdCsv}})
        connect(events(field), &FieldEvents::keyPress, this, [then = then](int &code) {
            DigitKeyFilter(code);
            if (code == KeyEnter) {
                code = KeyNone;
                MoveFocus(then);
            }
        });
    setTabOrder(txtPJCODE, cmbPERSON);
    setTabOrder(cmbPERSON, fgdMONTH);
    setTabOrder(fgdMONTH, txtFROM);
    setTabOrder(txtFROM, txtTO);
    setTabOrder(txtTO, cmdCsv);
    setTabOrder(cmdCsv, cmdXlsx);
    setTabOrder(cmdXlsx, cmdText);
    setTabOrder(cmdText, cmdChart);
    setTabOrder(cmdChart, cmdYear);
    setTabOrder(cmdYear, cmdPdf);
    setTabOrder(cmdPdf, cmdClose);

    // A step is a month, or in the year's chart a year.
    connect(previous, &QPushButton::clicked, this,
            [this] { showMonth(m_model->month().addMonths(m_view == View::YearChart ? -12 : -1)); });
    connect(next, &QPushButton::clicked, this,
            [this] { showMonth(m_model->month().addMonths(m_view == View::YearChart ? 12 : 1)); });
    connect(cmdChart, &QPushButton::clicked, this,
            [this] { showView(m_view == View::Grid ? View::MonthChart : View::Grid); });
    connect(cmdYear, &QPushButton::clicked, this,
            [this] { showView(m_view == View::YearChart ? View::MonthChart : View::YearChart); });
    connect(txtPJCODE, &QLineEdit::returnPressed, this, [this] {
        txtPJCODE->setText(txtPJCODE->text().toUpper()); // codes are upper case, as the main window keeps them
        showMonth(m_model->month());
    });
    connect(cmbPERSON, &QComboBox::currentTextChanged, this, [this] { showMonth(m_model->month()); });
    connect(fgdMONTH, &QTableView::activated, this, &frmMonthView::openDay);
    connect(fgdMONTH, &QTableView::doubleClicked, this, &frmMonthView::openDay);
    connect(cmdCsv, &QPushButton::clicked, this, [this] { exportRange(Format::Csv); });
    connect(cmdXlsx, &QPushButton::clicked, this, [this] { exportRange(Format::Xlsx); });
    connect(cmdText, &QPushButton::clicked, this, [this] { exportRange(Format::Text); });
    connect(cmdPdf, &QPushButton::clicked, this, [this] { exportRange(Format::Pdf); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    InstallFunctionKeys(this, [this, previous, next](int key) {
        const std::pair<int, QPushButton *> keys[] = {{Qt::Key_PageUp, previous}, {Qt::Key_PageDown, next},
                                                      {Qt::Key_F5, cmdCsv},       {Qt::Key_F6, cmdXlsx},
                                                      {Qt::Key_F7, cmdText},      {Qt::Key_F8, cmdChart},
                                                      {Qt::Key_F9, cmdYear},      {Qt::Key_F10, cmdPdf}};
        for (const auto &[k, button] : keys) {
            if (k == key) {
                button->click();
                return true;
            }
        }
        return false;
    });

    showMonth(month);
    fgdMONTH->setFocus();
}

std::optional<frmMonthView::Pick> frmMonthView::open(Store &store, const Settings &settings, const QDate &month,
                                                     QWidget *parent)
{
    frmMonthView view(store, settings, month, parent);
    view.exec();
    ReturnFocusTo(parent);
    return view.picked();
}

void frmMonthView::showMonth(const QDate &month)
{
    const QDate first(month.year(), month.month(), 1);
    const QDate last = first.addDays(first.daysInMonth() - 1);
    const RangeSelection selection{ymdText(first), ymdText(last), patternOf(txtPJCODE), people()};
    m_shownPattern = selection.codePattern;
    m_monthDays = readDays(selection);
    m_model->setMonth(first, m_monthDays, people().others());
    if (m_view == View::YearChart)
        showYear(first.year());
    else if (m_view == View::MonthChart)
        chtMONTH->setChart(MonthChart(first, m_monthDays, m_daysOff));
    chtMONTH->setCurrent(m_view == View::YearChart ? first.month() - 1 : 0);
    const bool year = m_view == View::YearChart;
    m_previous->setText(year ? QStringLiteral("◀ 前年[PgUp]") : QStringLiteral("◀ 前月[PgUp]"));
    m_next->setText(year ? QStringLiteral("翌年[PgDn] ▶") : QStringLiteral("翌月[PgDn] ▶"));
    lblMonth->setText(m_view == View::YearChart ? QStringLiteral("%1年").arg(first.year())
                                                : QStringLiteral("%1年%2月").arg(first.year()).arg(first.month()));
    txtFROM->setText(ymdText(first));
    txtTO->setText(ymdText(last));
    fitColumns(fgdMONTH);
    // A long name is shortened (the whole of it is the cell's tooltip).
    fgdMONTH->setColumnWidth(MonthModel::Name, std::min(fgdMONTH->columnWidth(MonthModel::Name), Twips(NameTwips)));
    // A month opens at its first day.
    fgdMONTH->horizontalScrollBar()->setValue(0);
    fgdMONTH->verticalScrollBar()->setValue(0);
    fgdMONTH->setCurrentIndex(m_model->index(0, MonthModel::FirstDay));
}

void frmMonthView::showView(View view)
{
    const bool yearChanged = (view == View::YearChart) != (m_view == View::YearChart);
    m_view = view;
    fgdMONTH->setVisible(view == View::Grid);
    chtMONTH->setVisible(view != View::Grid);
    if (yearChanged)
        showMonth(m_model->month());
    else if (view == View::MonthChart) // the month's chart is drawn when it is shown
        chtMONTH->setChart(MonthChart(m_model->month(), m_monthDays, m_daysOff));
    (view == View::Grid ? static_cast<QWidget *>(fgdMONTH) : chtMONTH)->setFocus();
}

void frmMonthView::showYear(int year)
{
    const RangeSelection selection{QStringLiteral("%1/01/01").arg(year), QStringLiteral("%1/12/31").arg(year),
                                   m_shownPattern, people()};
    chtMONTH->setChart(YearChart(year, readDays(selection)));
}

QList<DaySummary> frmMonthView::readDays(const RangeSelection &selection)
{
    WaitCursor hourglass;
    // The grid and the charts show hours, not item counts.
    const Result<QList<DaySummary>> range = CallStore(
        this, m_store, [&] { return m_store.summarizeRange(selection, Store::ItemCounts::NotCounted); });
    hourglass.restore();
    if (!range.ok())
        MessagePresenter::show(this, caption::Month, FailureMessage(*range.error, m_store.name(), msg::LoadFailed));
    return range.value;
}

People frmMonthView::people() const
{
    if (cmbPERSON->isHidden() || cmbPERSON->currentText() == m_self)
        return {};
    return cmbPERSON->currentText() == EveryoneName ? People::everyone() : People::one(cmbPERSON->currentText());
}

void frmMonthView::openDay(const QModelIndex &index)
{
    // Only the reader's own days open in the main window, which loads and saves the reader's.
    const DaySummary *day = m_model->dayAt(index);
    if (day && (day->person.isEmpty() || day->person == m_self)) {
        m_picked = Pick{day->code, day->date};
        accept();
    }
}

void frmMonthView::exportRange(Format format)
{
    const QString from = formatYmd(txtFROM->text()), to = formatYmd(txtTO->text());
    if (!IsValidYmd(QString(from).remove(u'/')) || !IsValidYmd(QString(to).remove(u'/')) || to < from) {
        MessagePresenter::show(this, caption::Month, msg::RangeInvalid);
        MoveFocus(txtFROM);
        return;
    }
    // CSV in UTF-8 (with a byte-order mark, which spreadsheets take as UTF-8) or in Shift-JIS.
    static const QStringList filters[] = {
        {QStringLiteral("CSVﾌｧｲﾙ UTF-8(*.csv)"), QStringLiteral("CSVﾌｧｲﾙ Shift-JIS(*.csv)")},
        {QStringLiteral("Excelﾌｧｲﾙ(*.xlsx)")},
        {QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)")},
        {QStringLiteral("PDFﾌｧｲﾙ(*.pdf)")}};
    static const char *const suffixes[] = {".csv", ".xlsx", ".txt", ".pdf"};
    static const char *const kinds[] = {"CSV", "Excel", "Text", "PDF"};
    const int f = int(format);
    const QString name = QStringLiteral("月報_%1-%2%3")
                             .arg(QString(from).remove(u'/'), QString(to).remove(u'/'),
                                  QString::fromLatin1(suffixes[f]));
    const std::optional<SaveChoice> chosen =
        SaveFileDialog::choose(this, {filters[f], name, QString::fromLatin1(kinds[f]), m_settings.iniPath, {}});
    if (!chosen)
        return;
    const CsvEncoding encoding = chosen->filter == 1 ? CsvEncoding::Cp932 : CsvEncoding::Utf8WithBom;
    WaitCursor hourglass;
    // The projects the grid shows: a filter typed but not applied (no Enter) is not what the user sees.
    const RangeSelection selection{from, to, m_shownPattern, people()};
    const DaySource days = RangeDays(m_store, selection);
    const FileTarget target{chosen->path, FilesInUse(m_settings.databasePath, m_settings.iniPath)};
    // The days are read as the file is written, on the store's thread.
    std::optional<QString> error;
    AwaitStoreCall(this, m_store, [&] {
        switch (format) {
        case Format::Csv:
            error = WriteCsv(target, days, encoding, selection.people.others());
            break;
        case Format::Xlsx:
            error = WriteXlsx(target, selection, days);
            break;
        case Format::Text:
            error = WriteMonthlyText(target, selection, days);
            break;
        case Format::Pdf:
            error = WriteMonthPdf(target, selection, days, m_daysOff);
            break;
        }
    });
    hourglass.restore();
    MessagePresenter::show(this, caption::Month, error ? msg::ExportFailed(*error) : msg::ExportWritten);
}

} // namespace worvane
