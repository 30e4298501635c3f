// The program itself, for tests that run it as a child process: every message is written to standard
// output as "MESSAGE <kind> <title> <text>" and answered No; a line "close" on standard input closes
// the main window the way the user would.
#include "app/messagepresenter.h"
#include "main/program.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    worvane::MessagePresenter::setHandler([](const worvane::MessageRequest &m) {
        const char *kinds[] = {"warning", "information", "critical", "question"};
        std::printf(
            "MESSAGE %s|%s|%s\n", kinds[int(m.kind)], m.title.toUtf8().constData(),
            QString(m.text).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")).toUtf8().constData());
        std::fflush(stdout);
        return false;
    });
    // Watch standard input once the main window is up (the event loop may turn before, while a start
    // waits for the copy before it).
    QTimer::singleShot(0, [] {
        auto *up = new QTimer(qApp);
        up->setInterval(10);
        QObject::connect(up, &QTimer::timeout, [up] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            if (std::none_of(windows.begin(), windows.end(),
                             [](QWidget *w) { return w->isVisible() && !qobject_cast<QDialog *>(w); }))
                return;
            up->stop();
            up->deleteLater();
            auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
            QObject::connect(notifier, &QSocketNotifier::activated, [notifier] {
                char buffer[64];
                const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                if (n <= 0 || QByteArray(buffer, int(n)).contains("close")) {
                    notifier->setEnabled(false);
                    for (QWidget *w : QApplication::topLevelWidgets())
                        if (w->isVisible())
                            w->close();
                }
            });
            std::printf("READY\n");
            std::fflush(stdout);
        });
        up->start();
    });
    return worvane::RunProgram(argc, argv);
}
