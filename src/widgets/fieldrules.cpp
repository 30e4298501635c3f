#include "widgets/fieldrules.h"

#include "core/modcommon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QTimer>

namespace worvane
{

namespace
{

// Which field of a window holds the focus as the window's handlers see it. Kept while the window is
// inactive, so that its return to the front is not taken for a new entry into the field.
//
// An inactive window gets no focus events: a move made meanwhile (keys typed ahead of the window's
// return, or the program putting the focus on a field after a box) becomes known only when the window
// is active again. The field left then gets its leave rule at that moment, before the entry rule of the
// field entered, whatever kind of control the focus went to.
class FocusMemory : public QObject
{
public:
    explicit FocusMemory(QWidget *window) : QObject(window), m_window(window)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
            if (now && now->window() == m_window && field != now)
                leave();
        });
        qApp->installEventFilter(this); // before the focused control, or a function key, acts on a key
    }
    QPointer<QWidget> field;

    // The remembered field has been left: forget it and run its leave rule.
    void leave()
    {
        QPointer<QWidget> left = field;
        field = nullptr;
        if (left) {
            if (auto *e = left->findChild<FieldEvents *>(QString(), Qt::FindDirectChildrenOnly))
                emit e->lostFocus();
        }
    }

    // A key comes to the control that has the focus. In a window that the system has not activated yet (a
    // key typed before its activation arrives, or a display without a window manager), Qt moves the focus
    // without focus events: a key for another control than the remembered field says that the field was
    // left, and the control entered.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || watched == field || watched != m_window->focusWidget())
            return false;
        leave();
        if (auto *e = watched->findChild<FieldEvents *>(QString(), Qt::FindDirectChildrenOnly)) {
            field = static_cast<QWidget *>(watched);
            emit e->gotFocus();
        }
        return false;
    }

    static FocusMemory *of(QWidget *window)
    {
        for (QObject *child : window->children()) {
            if (auto *memory = dynamic_cast<FocusMemory *>(child))
                return memory;
        }
        return new FocusMemory(window);
    }

private:
    QWidget *m_window;
};

bool isActivationReason(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

int KeyPressCode(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyEnter;
    case Qt::Key_Backspace:
        return KeyBackspace;
    default:
        break;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return 0;
    const QString text = key->text();
    if (text.isEmpty())
        return 0;
    const char32_t c = text.at(0).isHighSurrogate() && text.size() > 1
                           ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                           : char32_t(text.at(0).unicode());
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
        return 0;
    return int(c);
}

void SelectAllOnFocus(QLineEdit *field)
{
    if (!field)
        return;
    field->selectAll();
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        QPointer<QLineEdit> guard(field);
        QTimer::singleShot(0, field, [guard] {
            if (guard && guard->hasFocus())
                guard->selectAll();
        });
    }
}

void SelectAllOnFocus(QPlainTextEdit *field)
{
    if (field)
        field->selectAll();
}

void EnterToTab(int &keyCode, QWidget *focused)
{
    if (keyCode != KeyEnter)
        return;
    keyCode = KeyNone;
    QWidget *target = focused ? focused : QApplication::focusWidget();
    if (!target)
        return;
    const QString tab(QLatin1Char('\t'));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, tab));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier, tab));
}

bool HandleDialogKey(QDialog *dialog, QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QAbstractButton *>(dialog->focusWidget());
            button && !event->isAutoRepeat())
            button->click();
        event->accept();
        return true;
    case Qt::Key_Escape:
        event->accept();
        dialog->reject();
        return true;
    default:
        return false;
    }
}

void MoveFocus(QWidget *to)
{
    QWidget *window = to->window();
    FocusMemory *memory = FocusMemory::of(window);
    to->setFocus(Qt::OtherFocusReason);
    if (window->isActiveWindow() || memory->field == to)
        return; // the focus events came, or nothing moved
    // The window is inactive (a box has just closed): Qt sends the focus events only when the window is
    // active again; the rules run now, in the order the move would have run them.
    memory->leave();
    memory->field = to;
    if (auto *e = to->findChild<FieldEvents *>(QString(), Qt::FindDirectChildrenOnly))
        emit e->gotFocus();
}

namespace
{
class StatusLine : public QObject
{
public:
    StatusLine(QWidget *window, QLabel *line) : QObject(line), m_line(line)
    {
        m_clear.setSingleShot(true);
        m_clear.setInterval(10000);
        connect(&m_clear, &QTimer::timeout, line, [this] { m_line->setText(m_standing); });
        window->installEventFilter(this);
    }

    void setStanding(const QString &text)
    {
        m_standing = text;
        if (!m_clear.isActive())
            m_line->setText(text);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StatusTip) {
            const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
            if (!tip.isEmpty()) {
                m_line->setText(tip);
                m_clear.start();
            }
        }
        return false;
    }

private:
    QLabel *m_line;
    QTimer m_clear;
    QString m_standing;
};
} // namespace

namespace
{
class FunctionKeyFilter : public QObject
{
public:
    FunctionKeyFilter(QWidget *window, std::function<bool(int)> act)
        : QObject(window), m_window(window), m_act(std::move(act))
    {
        qApp->installEventFilter(this); // before the focused control sees the key
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        QWidget *firstReceiver = m_window->focusWidget() ? m_window->focusWidget() : m_window;
        return watched == firstReceiver && m_act(static_cast<QKeyEvent *>(event)->key());
    }

private:
    QWidget *m_window;
    std::function<bool(int)> m_act;
};
} // namespace

void InstallFunctionKeys(QWidget *window, std::function<bool(int key)> act)
{
    new FunctionKeyFilter(window, std::move(act));
}

void InstallStatusLine(QWidget *window, QLabel *line)
{
    new StatusLine(window, line);
}

void SetStandingStatus(QLabel *line, const QString &text)
{
    for (QObject *child : line->children())
        if (auto *status = dynamic_cast<StatusLine *>(child))
            status->setStanding(text);
}

void SetInputMethodEnabled(QWidget *w, bool on)
{
    if (w)
        w->setAttribute(Qt::WA_InputMethodEnabled, on);
}

FieldEvents::FieldEvents(QWidget *field) : QObject(field), m_field(field)
{
    field->installEventFilter(this);
}

bool FieldEvents::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_field)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        FocusMemory *memory = FocusMemory::of(m_field->window());
        const bool returning = isActivationReason(reason) && memory->field == m_field;
        if (memory->field != m_field)
            memory->leave();
        memory->field = m_field;
        if (!returning)
            emit gotFocus();
        return false;
    }
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A window losing activation is not leaving the field; nor is a window that has closed, whose
        // controls lose the focus as they are destroyed (the field is then no longer whole).
        if (isActivationReason(reason) || !m_field->window()->isVisible())
            return false;
        FocusMemory *memory = FocusMemory::of(m_field->window());
        if (memory->field == m_field)
            memory->field = nullptr;
        emit lostFocus();
        return false;
    }
    case QEvent::KeyPress:
        return handleKeyPress(watched, event);
    default:
        return false;
    }
}

bool FieldEvents::handleKeyPress(QObject *watched, QEvent *event)
{
    if (m_resending)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    emit keyDown(key->key(), key->modifiers());
    const int original = KeyPressCode(key);
    if (original == 0)
        return false;
    int code = original;
    emit keyPress(code);
    if (code == original)
        return false;
    if (code == KeyNone)
        return true;
    // The handler typed another character in place of this one.
    Qt::Key newKey = Qt::Key_unknown;
    QString text;
    if (code == KeyEnter) {
        newKey = Qt::Key_Return;
        text = QStringLiteral("\r");
    } else if (code == KeyBackspace) {
        newKey = Qt::Key_Backspace;
        text = QStringLiteral("\b");
    } else {
        const char32_t c = char32_t(code);
        text = QString::fromUcs4(&c, 1);
        if (code < 0x80)
            newKey = Qt::Key(QChar(code).toUpper().unicode());
    }
    QKeyEvent replaced(QEvent::KeyPress, newKey, key->modifiers() & ~Qt::ShiftModifier, text,
                       key->isAutoRepeat());
    m_resending = true;
    QCoreApplication::sendEvent(watched, &replaced);
    m_resending = false;
    return true;
}

FieldEvents *events(QWidget *field)
{
    Q_ASSERT(field);
    auto *existing = field->findChild<FieldEvents *>(QString(), Qt::FindDirectChildrenOnly);
    return existing ? existing : new FieldEvents(field);
}

} // namespace worvane
