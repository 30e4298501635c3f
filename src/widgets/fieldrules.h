#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QDialog;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// The widget side of the field rules: select-all on entry, Enter as Tab, input method on or off, and
// the per-field events (got focus, lost focus, key press with a character code, key down) through
// which the windows apply the rules of modcommon.h.

namespace worvane
{

// Selects the whole text, so that the next key typed replaces it. When the field was entered with a
// mouse click, the selection is made again once the click has been handled (the click would
// otherwise place the cursor and drop the selection).
void SelectAllOnFocus(QLineEdit *field);
void SelectAllOnFocus(QPlainTextEdit *field);

// When keyCode is 13 (Enter): sets it to 0 and posts a Tab key press and release to the focused
// widget, so that, after the current key event has finished, the focus moves exactly as Tab moves it
// (next control in tab order, skipping disabled ones, wrapping from the last to the first).
// Any other code is left alone. focused may be null: the application's focus widget is taken.
void EnterToTab(int &keyCode, QWidget *focused);

// The character code a key press gives to a key-press handler: 13 for Enter, 8 for Backspace, the
// Unicode code of a typed character, 0 for a key that types none (arrows, function keys, Tab, keys
// held with Ctrl or Meta).
int KeyPressCode(const QKeyEvent *key);

// The keys of a dialog without a default button: Enter presses the focused button and nothing else;
// Escape closes the dialog as its close button does. True when the key was one of them (the caller
// then takes it).
bool HandleDialogKey(QDialog *dialog, QKeyEvent *event);

// Puts the focus on a control of a window as the program's own move. In an inactive window (a box has
// just closed) the field left gets its leave rule and the control entered its entry rule at once, as
// in an active one, instead of when the window comes back to the front.
void MoveFocus(QWidget *to);

// The window's function keys: act(key) is called for every key pressed in the window, by its code
// (Shift, Ctrl and Alt do not matter), and returns whether the key is one of them. A key acts once,
// where it first arrives: at the window's focus widget, or at the window itself when none of its
// widgets has the focus; it is then taken. (Let through, it would travel up to the window and act a
// second time when its action has shown a box: after the box closes and before the window is active
// again, no widget has the focus.)
void InstallFunctionKeys(QWidget *window, std::function<bool(int key)> act);

// The window's status line: every status tip that reaches the window (what a field refused, for one)
// is shown in line, and cleared after a while.
void InstallStatusLine(QWidget *window, QLabel *line);
// What the status line shows when no tip is shown: a standing text (the days not entered yet, say).
void SetStandingStatus(QLabel *line, const QString &text);

// Input method on (Japanese input) or off (half-width fields: codes, dates, times, numbers).
void SetInputMethodEnabled(QWidget *w, bool on);

// The events of one field, in the form the windows' handlers take them. Obtain with events(field).
class FieldEvents : public QObject
{
    Q_OBJECT
public:
    explicit FieldEvents(QWidget *field);
    QWidget *field() const { return m_field; }

signals:
    // The field got the focus from another control of its window, or with the window's first
    // activation. A window coming back to the front does not raise it.
    void gotFocus();
    // The focus went to another control of the same window (or the program moved it away, disabled
    // or hid the field). A window losing activation (message box, other window, other program, a
    // popup menu) is not leaving the field.
    void lostFocus();
    // Every key press, before keyPress; cannot swallow the key.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // A key that produces a character: 13 for Enter, 8 for Backspace, otherwise the Unicode code of
    // the typed character (keys held with Ctrl or Meta give none). Setting keyCode to 0 swallows the
    // key; setting another code types that character instead.
    void keyPress(int &keyCode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKeyPress(QObject *watched, QEvent *event);

    QPointer<QWidget> m_field;
    bool m_resending = false;
};

// The events of a field, created (and installed on the field) on first use; lives as long as the field.
FieldEvents *events(QWidget *field);

} // namespace worvane
