#pragma once

// The start-up hosts print "shown" once their window has been painted for the first time, and leave the
// event loop without closing the window (closing the main window would compact the database).
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench
{

// The peak resident memory of this process image (VmHWM) in kB. Unlike the rusage of a child, it does
// not start from the size of the process that started it.
inline long PeakKb()
{
    long kb = 0;
    if (std::FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                kb = std::atol(line + 6);
        std::fclose(f);
    }
    return kb;
}

} // namespace bench

namespace bench
{

class ShownReporter : public QObject
{
public:
    explicit ShownReporter(QWidget *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Runs after the paint has been delivered and the window's picture flushed.
            QTimer::singleShot(0, [] {
                std::printf("shown\npeak %ld\n", PeakKb());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace bench
