#pragma once

#include <QLoggingCategory>
#include <QString>
#include <functional>

class QWidget;

namespace worvane
{

// What the user is shown: every message box and file dialog, with its answer.
Q_DECLARE_LOGGING_CATEGORY(lcUi)

// Every message the program shows goes through here: one short sentence, or two joined by CR LF.
enum class MessageKind {
    Warning,     // exclamation, OK: refused input
    Information, // information, OK: a completed action
    Critical,    // stop, OK: a failed action
    Question,    // question, Yes and No, No the default: before a database write
};

// After a modal box or dialog has closed: the keyboard goes back to the window it came from.
void ReturnFocusTo(QWidget *parent);

struct MessageRequest {
    MessageKind kind;
    QString title;
    QString text; // as the program words it, CR LF between sentences
};

class MessagePresenter
{
public:
    // Shows an OK box and returns when the user has closed it.
    static void show(QWidget *parent, MessageKind kind, const QString &title, const QString &text);
    // Shows the Yes/No question box; true when the user answered Yes.
    static bool ask(QWidget *parent, const QString &title, const QString &text);

    // Tests answer messages here instead of on the screen: the handler gets each request and returns
    // the answer to a question (ignored for the other kinds). An empty handler shows real boxes again.
    using Handler = std::function<bool(const MessageRequest &)>;
    static void setHandler(Handler handler);

private:
    static bool present(QWidget *parent, const MessageRequest &request);
};

} // namespace worvane
