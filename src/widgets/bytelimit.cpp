#include "widgets/bytelimit.h"

#include "core/cp932.h"
#include "core/messages.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusTipEvent>

#include <limits>

namespace worvane
{

namespace
{

// Watches one field: typed keys and input-method text for both kinds of field, and for a line edit
// also every way text is pasted (keys, context menu, drop, middle button).
class ByteLimitFilter : public QObject
{
public:
    ByteLimitFilter(QWidget *field, int bytes, Accepts accepts)
        : QObject(field), m_limit(bytes), m_accepts(accepts)
    {
        field->installEventFilter(this);
    }

    int limit() const { return m_limit; }
    Accepts accepts() const { return m_accepts; }
    void set(int bytes, Accepts accepts)
    {
        m_limit = bytes;
        m_accepts = accepts;
    }

    // What may go in of a text offered by a paste, a drop or an input method: the Shift-JIS forms of its
    // marks, its first line (single-line field), only its digits (digit field), its CP932 characters, as
    // many bytes as there is room for. Characters left out for want of a CP932 code are told to the window.
    QString fitted(QWidget *field, QString text) const;

    static ByteLimitFilter *of(const QWidget *field)
    {
        if (!field)
            return nullptr;
        for (QObject *child : field->children()) {
            if (auto *filter = dynamic_cast<ByteLimitFilter *>(child))
                return filter;
        }
        return nullptr;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPress(QWidget *field, QKeyEvent *key);
    void inputMethod(QWidget *field, QInputMethodEvent *im);
    bool contextMenu(QLineEdit *field, QContextMenuEvent *event);
    bool drop(QLineEdit *field, QDropEvent *event);

    int m_limit;
    Accepts m_accepts;
};

bool isMultiLine(const QWidget *field)
{
    return qobject_cast<const QPlainTextEdit *>(field) != nullptr;
}

// The field's text without its selection, as the limit counts it.
int keptBytes(const QWidget *field)
{
    if (auto *line = qobject_cast<const QLineEdit *>(field))
        return Cp932Length(line->text()) - Cp932Length(line->selectedText());
    auto *edit = static_cast<const QPlainTextEdit *>(field);
    QString selected = edit->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    selected.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return Cp932Length(edit->toPlainText(), true) - Cp932Length(selected, true);
}

// Room left for an insertion replacing the selection; unlimited for a limit of 0.
int room(const QWidget *field, int limit)
{
    return limit > 0 ? qMax(0, limit - keptBytes(field)) : std::numeric_limits<int>::max();
}

// Tells the window, in its status line, which characters a field refused for want of a CP932 code.
void tellRefused(QWidget *field, const QString &refused, bool typed)
{
    const QString text =
        typed ? msg::RefusedTyped(refused) : msg::RefusedPasted(refused);
    QStatusTipEvent tip(text);
    QCoreApplication::sendEvent(field, &tip);
}

QString nonCp932(QStringView text)
{
    QString refused;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
        const QStringView c = text.mid(i, pair ? 2 : 1);
        if (!IsCp932Representable(c) && !refused.contains(c))
            refused += c;
        i += c.size();
    }
    return refused;
}

// The text a key would put into the field, or an empty text when it puts none.
QString typedText(const QWidget *field, const QKeyEvent *key)
{
    if (auto *edit = qobject_cast<const QPlainTextEdit *>(field)) {
        if (edit->isReadOnly())
            return QString();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return QStringLiteral("\n");
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && !edit->tabChangesFocus())
            return QStringLiteral("\t");
    } else if (static_cast<const QLineEdit *>(field)->isReadOnly()) {
        return QString();
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return QString();
    const QString text = key->text();
    if (text.isEmpty() || (!text.at(0).isPrint() && !text.at(0).isSurrogate()))
        return QString();
    return text;
}

QString ByteLimitFilter::fitted(QWidget *field, QString text) const
{
    const bool multi = isMultiLine(field);
    text = ToCp932Forms(std::move(text));
    if (!multi) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == u'\r' || text.at(i) == u'\n') {
                text.truncate(i);
                break;
            }
        }
    }
    if (m_accepts == Accepts::Digits)
        text.removeIf([](QChar c) { return c < u'0' || c > u'9'; });
    if (const QString refused = nonCp932(text); !refused.isEmpty()) {
        tellRefused(field, refused, false);
        text = DropNonCp932(text);
    }
    return LeftCp932Bytes(text, room(field, m_limit), multi);
}

bool ByteLimitFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QWidget *>(watched);
    if (!field || field != parent())
        return false;
    auto *line = qobject_cast<QLineEdit *>(field);
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(field, static_cast<QKeyEvent *>(event));
    case QEvent::InputMethod:
        inputMethod(field, static_cast<QInputMethodEvent *>(event));
        return false;
    case QEvent::ContextMenu:
        return line && contextMenu(line, static_cast<QContextMenuEvent *>(event));
    case QEvent::Drop:
        return line && drop(line, static_cast<QDropEvent *>(event));
    case QEvent::MouseButtonRelease: {
        // The selection paste of the middle button, where the platform has one.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!line || mouse->button() != Qt::MiddleButton || line->isReadOnly() ||
            !QGuiApplication::clipboard()->supportsSelection())
            return false;
        line->deselect();
        line->setCursorPosition(line->cursorPositionAt(mouse->position().toPoint()));
        line->insert(fitted(line, QGuiApplication::clipboard()->text(QClipboard::Selection)));
        return true;
    }
    default:
        return false;
    }
}

bool ByteLimitFilter::keyPress(QWidget *field, QKeyEvent *key)
{
    auto *line = qobject_cast<QLineEdit *>(field);
    if (line && key->matches(QKeySequence::Paste)) {
        if (!line->isReadOnly())
            line->insert(fitted(line, QGuiApplication::clipboard()->text()));
        return true;
    }
    const QString text = typedText(field, key);
    if (text.isEmpty())
        return false;
    const QString form = ToCp932Forms(text);
    if (!IsCp932Representable(form)) {
        tellRefused(field, text, true);
        return true;
    }
    if (m_limit > 0 && Cp932Length(form, isMultiLine(field)) > room(field, m_limit))
        return true;
    if (form == text)
        return false;
    // A mark typed in its other form goes in as the Shift-JIS one.
    if (line)
        line->insert(form);
    else
        static_cast<QPlainTextEdit *>(field)->insertPlainText(form);
    return true;
}

void ByteLimitFilter::inputMethod(QWidget *field, QInputMethodEvent *im)
{
    if (im->commitString().isEmpty())
        return;
    const QString cut = fitted(field, im->commitString());
    if (cut != im->commitString())
        im->setCommitString(cut, im->replacementStart(), im->replacementLength());
}

bool ByteLimitFilter::contextMenu(QLineEdit *field, QContextMenuEvent *event)
{
    QMenu *menu = field->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's paste is the action wired to QLineEdit::paste; it is rewired to the limited paste.
    QPointer<QLineEdit> guard(field);
    for (QAction *action : menu->actions()) {
        const bool wired = QObject::disconnect(action, &QAction::triggered, field, &QLineEdit::paste) ||
                           QObject::disconnect(action, SIGNAL(triggered()), field, SLOT(paste()));
        if (wired) {
            connect(action, &QAction::triggered, field, [this, guard] {
                if (guard)
                    guard->insert(fitted(guard, QGuiApplication::clipboard()->text()));
            });
        }
    }
    menu->popup(event->globalPos());
    event->accept();
    return true;
}

bool ByteLimitFilter::drop(QLineEdit *field, QDropEvent *event)
{
    // A move of the field's own text leaves its length as it is.
    if (event->source() == field && event->dropAction() == Qt::MoveAction)
        return false;
    if (field->isReadOnly() || !event->mimeData()->hasText())
        return false;
    const int at = field->cursorPositionAt(event->position().toPoint());
    field->deselect();
    field->setCursorPosition(at);
    field->insert(fitted(field, event->mimeData()->text()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
    field->setFocus(Qt::MouseFocusReason);
    return true;
}

ByteLimitFilter *installFilter(QWidget *field, int bytes, Accepts accepts)
{
    ByteLimitFilter *filter = ByteLimitFilter::of(field);
    if (filter)
        filter->set(bytes, accepts);
    else
        filter = new ByteLimitFilter(field, bytes, accepts);
    return filter;
}

} // namespace

void SetByteLimit(QLineEdit *field, int bytes, Accepts accepts)
{
    if (field)
        installFilter(field, qMax(0, bytes), accepts);
}

void SetByteLimit(QPlainTextEdit *field, int bytes)
{
    if (!field)
        return;
    installFilter(field, qMax(0, bytes), Accepts::AnyText);
    if (!qobject_cast<LimitedTextEdit *>(field))
        qWarning("SetByteLimit: %s is not a LimitedTextEdit; pasted text is not limited",
                 qPrintable(field->objectName()));
}

int ByteLimit(const QWidget *field)
{
    const ByteLimitFilter *filter = ByteLimitFilter::of(field);
    return filter ? filter->limit() : 0;
}

LimitedTextEdit::LimitedTextEdit(QWidget *parent) : QPlainTextEdit(parent) {}

QString LimitedTextEdit::textCrLf() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void LimitedTextEdit::setTextCrLf(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(plain);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData *source)
{
    const ByteLimitFilter *filter = ByteLimitFilter::of(this);
    if (!filter || !source || !source->hasText()) {
        if (!filter)
            QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString cut = filter->fitted(this, text);
    if (cut.isEmpty())
        return;
    QMimeData limited;
    limited.setText(cut);
    QPlainTextEdit::insertFromMimeData(&limited);
}

} // namespace worvane
