#pragma once

#include <QPlainTextEdit>
#include <QString>

class QLineEdit;

// Typing limits counted in CP932 bytes: a half-width character 1, any other 2 and, in a multi-line
// field, a line break 2. A typed character that would pass the limit is refused; pasted or dropped
// text is cut between characters so that it fits; text the program sets (setText, setPlainText) is
// never cut. Characters outside CP932 are refused when typed and left out when pasted; the window is
// told which, through a status tip event (QStatusTipEvent) that travels up to it. Marks that Linux input
// methods type in another form than Windows (〜 U+301C, − U+2212, …) go in as their CP932 forms.

namespace worvane
{

// What a field takes from a paste, a drop or an input method. A digit field keeps only "0".."9" of
// such a text, as its key filter does with typed keys.
enum class Accepts { AnyText, Digits };

// bytes <= 0: no byte limit, but characters outside CP932 are still kept out.
void SetByteLimit(QLineEdit *field, int bytes, Accepts accepts = Accepts::AnyText);
// For a LimitedTextEdit every way in is limited; a plain QPlainTextEdit gets the limit on typed and
// input-method text only (its paste cannot be reached from outside), and a warning says so.
void SetByteLimit(QPlainTextEdit *field, int bytes);

// The limit set on a field, 0 when none.
int ByteLimit(const QWidget *field);

// A multi-line field whose pasted and dropped text obeys the byte limit. Its text in the program's
// form has CR LF line breaks: textCrLf / setTextCrLf convert at the widget's edge.
class LimitedTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LimitedTextEdit(QWidget *parent = nullptr);

    QString textCrLf() const;
    void setTextCrLf(const QString &text);

protected:
    void insertFromMimeData(const QMimeData *source) override;
};

} // namespace worvane
