#include "app/messagepresenter.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>

namespace worvane
{

// Every box shown is logged here (off by default; QT_LOGGING_RULES="worvane.ui.info=true" turns it on).
Q_LOGGING_CATEGORY(lcUi, "worvane.ui", QtWarningMsg)

namespace
{
const char *kindName(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return "warning";
    case MessageKind::Information:
        return "information";
    case MessageKind::Critical:
        return "critical";
    case MessageKind::Question:
        return "question";
    }
    return "?";
}

MessagePresenter::Handler &handler()
{
    static MessagePresenter::Handler h;
    return h;
}

QMessageBox::Icon iconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Critical:
        return QMessageBox::Critical;
    case MessageKind::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void ReturnFocusTo(QWidget *parent)
{
    // Without a window manager nothing gives the keyboard back to the window a modal box or dialog
    // came from; with one, this asks for what it does anyway.
    if (parent && parent->window()->isVisible())
        parent->window()->activateWindow();
}

bool MessagePresenter::show(QWidget *parent, const QString &title, const Message &message)
{
    return present(parent, MessageRequest{message.kind, title, message.text});
}

void MessagePresenter::setHandler(Handler h)
{
    handler() = std::move(h);
}

bool MessagePresenter::present(QWidget *parent, const MessageRequest &request)
{
    qCInfo(lcUi).noquote() << "message" << kindName(request.kind) << request.title
                           << QString(request.text).replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    if (handler())
        return handler()(request);

    const bool question = request.kind == MessageKind::Question;
    QMessageBox box(iconOf(request.kind), request.title,
                    QString(request.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setDefaultButton(question ? QMessageBox::No : QMessageBox::Ok);
    box.setEscapeButton(question ? QMessageBox::No : QMessageBox::Ok);
    box.setObjectName(QStringLiteral("messageBox"));
    // The hourglass, if any, must not hide the pointer over a box that waits for the user.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    ReturnFocusTo(parent);
    qCInfo(lcUi).noquote() << "answer" << (answer == QMessageBox::Yes ? "yes" : question ? "no" : "ok");
    return answer == QMessageBox::Yes;
}

} // namespace worvane
