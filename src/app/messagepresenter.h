#pragma once

#include "core/messages.h"

#include <QLoggingCategory>
#include <QString>
#include <functional>

class QWidget;

namespace worvane
{

// What the user is shown: every message box and file dialog, with its answer.
Q_DECLARE_LOGGING_CATEGORY(lcUi)

// After a modal box or dialog has closed: the keyboard goes back to the window it came from.
void ReturnFocusTo(QWidget *parent);

struct MessageRequest {
    MessageKind kind;
    QString title;
    QString text; // as the program words it, CR LF between sentences
};

// Every message the program shows goes through here, titled with the caption of the window that
// raises it.
class MessagePresenter
{
public:
    // Shows a box of the message's kind; for a question, true when the user answered Yes.
    static bool show(QWidget *parent, const QString &title, const Message &message);


    // Tests answer messages here instead of on the screen: the handler gets each request and returns
    // the answer to a question (ignored for the other kinds). An empty handler shows real boxes again.
    using Handler = std::function<bool(const MessageRequest &)>;
    static void setHandler(Handler handler);

private:
    static bool present(QWidget *parent, const MessageRequest &request);
};

} // namespace worvane
