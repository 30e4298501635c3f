#include "app/messagepresenter.h"

#include <QApplication>
#include <QMessageBox>

namespace worvane
{

namespace
{
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

void MessagePresenter::show(QWidget *parent, MessageKind kind, const QString &title, const QString &text)
{
    present(parent, MessageRequest{kind, title, text});
}

bool MessagePresenter::ask(QWidget *parent, const QString &title, const QString &text)
{
    return present(parent, MessageRequest{MessageKind::Question, title, text});
}

void MessagePresenter::setHandler(Handler h)
{
    handler() = std::move(h);
}

bool MessagePresenter::present(QWidget *parent, const MessageRequest &request)
{
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
    return answer == QMessageBox::Yes;
}

} // namespace worvane
