// The program itself, for tests that run it as a child process: every message is written to standard
// output as "MESSAGE <kind> <title> <text>" and answered No; a line "close" on standard input closes
// the main window the way the user would.
#include "app/messagepresenter.h"
#include "main/program.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

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
    // Watch standard input once the event loop runs.
    QTimer::singleShot(0, [] {
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
    return worvane::RunProgram(argc, argv);
}
