#include "windowfixture.h"

#include "widgets/bytelimit.h"
#include "core/clock.h"
#include "widgets/flexgrid.h"
#include "models/workitemmodel.h"
#include "store/open/openstore.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace worvane::test
{

WindowFixture::WindowFixture(const QString &defaultCode)
{
    m_db = m_dir.filePath(QStringLiteral("report.mdb"));
    makeDatabase(m_db, true);
    writeBytes(iniPath(), "[MDB Path]\r\nPath=" + m_db.toUtf8() +
                              "\r\n\r\n[Default Value]\r\nPJCode=" + defaultCode.toUtf8() + "\r\n");
    Clock::setFixed(QDateTime(QDate(2024, 3, 1), QTime(18, 30, 0)));

    m_code = defaultCode;
    useDatabase(m_db);
}

void WindowFixture::useDatabase(const QString &path)
{
    if (m_window)
        m_window->hide();
    m_window.reset();
    m_store = OpenStore(path);
    m_window = std::make_unique<frmWorvane>(Settings{iniPath(), path, m_code, {}}, *m_store);
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qWarning("the main window did not become active");
    lineOf(*m_window, "txtPJCODE")->setFocus();
    settle();
}

WindowFixture::~WindowFixture()
{
    m_window->hide();
    m_window.reset();
    m_store.reset();
    Clock::clearFixed();
}

QWidget *WindowFixture::focus()
{
    return QApplication::focusWidget();
}

void WindowFixture::type(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(focus(), char(c.unicode()));
        } else {
            // A character typed through the keyboard that has no key of its own (an input method's).
            QTest::sendKeyEvent(QTest::Press, focus(), Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, focus(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    settle();
}

void WindowFixture::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(focus(), key, modifiers);
    settle();
}

void WindowFixture::settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void WindowFixture::search(const QString &code, const QString &date)
{
    lineOf(*m_window, "txtPJCODE")->setFocus();
    settle();
    lineOf(*m_window, "txtPJCODE")->selectAll();
    type(code);
    press(Qt::Key_Return);
    lineOf(*m_window, "txtWKYMD")->selectAll();
    type(date);
    press(Qt::Key_Return); // to 検索
    press(Qt::Key_Return); // 検索
}

void WindowFixture::addItem(const QString &number, const QString &title, const QString &detail)
{
    lineOf(*m_window, "txtWKCODE")->setText(number);
    lineOf(*m_window, "txtWKHEAD")->setText(title);
    detailOf(*m_window)->setTextCrLf(detail);
    lineOf(*m_window, "txtWKCODE")->setFocus();
    settle();
    press(Qt::Key_F5);
}

QStringList WindowFixture::listRows()
{
    QStringList rows;
    const auto *items = qobject_cast<const WorkItemModel *>(gridOf(*m_window)->model());
    for (const WorkItem &item : items->items())
        rows << item.code + QLatin1Char('|') + item.head + QLatin1Char('|') + item.detail;
    return rows;
}

} // namespace worvane::test
