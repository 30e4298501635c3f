#pragma once

#include <QApplication>

namespace worvane
{

// The hourglass while a search or a database write runs. Restore it with restore() before the result
// message is shown; the destructor restores it if that has not happened yet.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    void restore()
    {
        if (m_active) {
            m_active = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};

} // namespace worvane
