#include "store/storerules.h"

#include "store/store.h"

#include <QCryptographicHash>
#include <QVarLengthArray>

#include <algorithm>
#include <limits>
#include <tuple>

namespace worvane
{

namespace
{
char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Appends text in UTF-8 as QString::toUtf8 writes it (a lone surrogate as '?'), the bytes a string is
// stored as, without a QByteArray of its own. out has room for 3 bytes a UTF-16 unit.
char *writeUtf8(char *out, QStringView text)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char32_t c = *p++;
        if (c < 0x80) {
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t u = QChar::surrogateToUcs4(char16_t(c), *p++);
            *out++ = char(0xF0 | (u >> 18));
            *out++ = char(0x80 | ((u >> 12) & 0x3F));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        } else {
            *out++ = '?';
        }
    }
    return out;
}

// The number at the start of a code's UTF-8 bytes, as ItemNumber reads it.
qint64 itemNumber(QByteArrayView code)
{
    qsizetype i = 0;
    while (i < code.size() && (code[i] == ' ' || (code[i] >= '\t' && code[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < code.size() && (code[i] == '-' || code[i] == '+'))
        negative = code[i++] == '-';
    qint64 value = 0;
    bool overflow = false;
    for (; i < code.size() && code[i] >= '0' && code[i] <= '9'; ++i) {
        const int digit = code[i] - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (overflow)
        return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return negative ? -value : value;
}
} // namespace

QString AsciiFolded(QString text)
{
    for (QChar &c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return text;
}

bool SameWithoutAsciiCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

QString LikePattern(const QString &typed)
{
    QString pattern;
    pattern.reserve(typed.size());
    for (const QChar c : typed) {
        if (c == QLatin1Char('*'))
            pattern += QLatin1Char('%');
        else if (c == QLatin1Char('?'))
            pattern += QLatin1Char('_');
        else if (c == QLatin1Char('\\'))
            pattern += QStringLiteral("\\\\");
        else
            pattern += c;
    }
    return pattern;
}

qint64 ItemNumber(QStringView code)
{
    QVarLengthArray<char, 16> bytes(code.size() * 3);
    return itemNumber(QByteArrayView(bytes.data(), writeUtf8(bytes.data(), code) - bytes.data()));
}

QList<WorkItem> InListOrder(std::vector<ReadItem> read)
{
    struct Keyed {
        ReadItem *item;
        qint64 number;
        QByteArray code;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(read.size());
    bool ordered = true;
    for (ReadItem &item : read) {
        keyed.push_back({&item, item.nullNumber ? 0 : ItemNumber(item.item.code), item.item.code.toUtf8()});
        if (keyed.size() > 1) {
            const Keyed &a = keyed[keyed.size() - 2], &b = keyed.back();
            ordered = ordered && std::tuple(!a.item->nullNumber, a.number, a.code) <=
                                     std::tuple(!b.item->nullNumber, b.number, b.code);
        }
    }
    if (!ordered)
        std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return std::tuple(!a.item->nullNumber, a.number, a.code) < std::tuple(!b.item->nullNumber, b.number, b.code);
        });
    QList<WorkItem> items;
    items.reserve(qsizetype(keyed.size()));
    for (Keyed &k : keyed)
        items.append(std::move(k.item->item));
    return items;
}

StampTexts::StampTexts(qsizetype items)
{
    m_items.reserve(size_t(items));
}

void StampTexts::add(QByteArrayView code, QByteArrayView head, QByteArrayView detail)
{
    const qsizetype at = m_bytes.size();
    m_bytes.resize(at + code.size() + head.size() + detail.size() + 3);
    char *out = m_bytes.data() + at;
    for (const QByteArrayView text : {code, head, detail}) {
        out = std::copy(text.begin(), text.end(), out);
        *out++ = '\0';
    }
    m_items.push_back({itemNumber(code), at, code.size(), head.size(), detail.size()});
}

void StampTexts::add(const WorkItem &item)
{
    const qsizetype at = m_bytes.size();
    m_bytes.resize(at + 3 * (item.code.size() + item.head.size() + item.detail.size()) + 3);
    char *const start = m_bytes.data() + at;
    char *out = start;
    qsizetype sizes[3];
    for (int t = 0; t < 3; ++t) {
        char *const text = out;
        out = writeUtf8(out, t == 0 ? item.code : t == 1 ? item.head : item.detail);
        sizes[t] = out - text;
        *out++ = '\0';
    }
    m_bytes.truncate(at + (out - start));
    m_items.push_back({itemNumber(QByteArrayView(start, sizes[0])), at, sizes[0], sizes[1], sizes[2]});
}

QString StampTexts::stamp(bool hasTimeRow, QByteArrayView startTime, QByteArrayView endTime)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QByteArrayView text : {QByteArrayView(hasTimeRow ? "day" : "none"), startTime, endTime}) {
        hash.addData(text);
        hash.addData(QByteArrayView("\0", 1));
    }
    // In one order, whatever order a list or the store holds them in: the texts' when the numbers are
    // equal. Items already in that order, as stored ones mostly are, are taken in one piece.
    const auto before = [this](const Item &a, const Item &b) {
        const auto key = [this](const Item &item) {
            const char *text = m_bytes.constData() + item.at;
            return std::tuple(item.number, QByteArrayView(text, item.code),
                              QByteArrayView(text + item.code + 1, item.head),
                              QByteArrayView(text + item.code + item.head + 2, item.detail));
        };
        return key(a) < key(b);
    };
    if (std::is_sorted(m_items.begin(), m_items.end(), before)) {
        hash.addData(m_bytes);
    } else {
        std::stable_sort(m_items.begin(), m_items.end(), before);
        for (const Item &item : m_items)
            hash.addData(QByteArrayView(m_bytes.constData() + item.at, item.code + item.head + item.detail + 3));
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString DayStamp(bool hasTimeRow, const QString &startTime, const QString &endTime, const QList<WorkItem> &items)
{
    StampTexts stamped(items.size());
    for (const WorkItem &item : items)
        stamped.add(item);
    return stamped.stamp(hasTimeRow, startTime.toUtf8(), endTime.toUtf8());
}

std::optional<ProjectPageEnd> NextPageStart(const ProjectRows &rows, int limit,
                                            const std::optional<ProjectPageEnd> &after)
{
    if (limit <= 0 || rows.size() != limit)
        return std::nullopt;
    // The rows of the last code at the page's end, and before them those of the pages before when the
    // page held that code alone.
    const qsizetype last = rows.size() - 1;
    const QByteArrayView code = rows.codeBytes(last);
    qsizetype row = last;
    while (row > 0 && SameWithoutAsciiCase(rows.codeBytes(row - 1), code))
        --row;
    int listed = int(last - row + 1);
    if (row == 0 && after && SameWithoutAsciiCase(after->code.toUtf8(), code))
        listed += after->listedOfCode;
    return ProjectPageEnd{rows.code(last), listed};
}

void RangeSummaries::share(QString &text)
{
    const auto seen = m_texts.constFind(text);
    if (seen != m_texts.constEnd())
        text = *seen;
    else
        m_texts.insert(text);
}

void RangeSummaries::append(DaySummary &&day)
{
    for (QString *text : {&day.code, &day.name, &day.date, &day.startTime, &day.endTime, &day.person})
        share(*text);
    m_days.append(std::move(day));
}

QList<ProjectRow> DemoProjects()
{
    return {{QStringLiteral("A0012345"), QStringLiteral("ワーベーン開発")},
            {QStringLiteral("A0012346"), QStringLiteral("販売管理システム保守")},
            {QStringLiteral("B0000001"), QStringLiteral("社内ネットワーク更改")},
            {QStringLiteral("C1000010"), QStringLiteral("顧客サポート")},
            {QStringLiteral("Z9999999"), QStringLiteral("社内業務")}};
}

// ---- Characters a server cannot store -------------------------------------------------------------

namespace
{
std::optional<char32_t> firstUnstorable(QStringView text)
{
    if (text.contains(QChar(0)))
        return U'\0';
    return std::nullopt;
}

struct Place {
    QStringView text;
    Unstorable::Field field;
};

std::optional<Unstorable> firstIn(std::initializer_list<Place> places, const QString &code, const QString &date,
                                  const QString &item)
{
    for (const Place &place : places)
        if (const std::optional<char32_t> c = firstUnstorable(place.text))
            return Unstorable{code, date, item, place.field, *c};
    return std::nullopt;
}

QString orEmpty(const std::optional<QString> &text)
{
    return text.value_or(QString());
}
} // namespace

QString Unstorable::describe() const
{
    static const char *const names[] = {"code", "name", "start time", "end time", "number", "title", "detail"};
    QString where = date.isEmpty() ? QStringLiteral("project %1").arg(code) : QStringLiteral("%1 %2").arg(date, code);
    if (!item.isEmpty())
        where += QStringLiteral(", item %1").arg(item);
    return QStringLiteral("%1, its %2 holds U+%3, which the team database cannot store")
        .arg(where, QLatin1String(names[int(field)]), QStringLiteral("%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper());
}

std::optional<Unstorable> FindUnstorable(const DaySave &day)
{
    using F = Unstorable::Field;
    if (auto found = firstIn({{day.code, F::Code}, {day.date, F::Code}, {day.startTime, F::Start}, {day.endTime, F::End}},
                             day.code, day.date, {}))
        return found;
    for (const WorkItem &item : day.items)
        if (auto found = firstIn({{item.code, F::Number}, {item.head, F::Title}, {item.detail, F::Detail}}, day.code,
                                 day.date, item.code))
            return found;
    return std::nullopt;
}

std::optional<Unstorable> FindUnstorable(const ReportRows &rows)
{
    using F = Unstorable::Field;
    for (const ReportRows::Project &p : rows.projects)
        if (auto found = FindUnstorableProject(p.code, orEmpty(p.name)))
            return found;
    for (const ReportRows::Day &d : rows.days)
        if (auto found = firstIn({{d.code, F::Code}, {d.date, F::Code}, {orEmpty(d.start), F::Start},
                                  {orEmpty(d.end), F::End}},
                                 d.code, d.date, {}))
            return found;
    for (const ReportRows::Item &i : rows.items)
        if (auto found = firstIn({{i.code, F::Code},
                                  {i.date, F::Code},
                                  {orEmpty(i.number), F::Number},
                                  {orEmpty(i.head), F::Title},
                                  {orEmpty(i.detail), F::Detail}},
                                 i.code, i.date, orEmpty(i.number)))
            return found;
    return std::nullopt;
}

std::optional<Unstorable> FindUnstorableProject(const QString &code, const QString &name)
{
    using F = Unstorable::Field;
    return firstIn({{code, F::Code}, {name, F::Name}}, code, {}, {});
}

} // namespace worvane
