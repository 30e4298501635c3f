#pragma once

#include "widgets/bytelimit.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"
#include "report/frmworvane.h"
#include "testsupport.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

namespace worvane::test
{

// The main window's controls, found by their objectNames.
inline QLineEdit *lineOf(QWidget &w, const char *name)
{
    return ControlOf<QLineEdit>(w, name);
}
inline QPushButton *buttonOf(QWidget &w, const char *name)
{
    return ControlOf<QPushButton>(w, name);
}
inline QLabel *labelOf(QWidget &w, const char *name)
{
    return ControlOf<QLabel>(w, name);
}
inline LimitedTextEdit *detailOf(QWidget &w)
{
    return ControlOf<LimitedTextEdit>(w, "txtDETAIL");
}
inline FlexGrid *gridOf(QWidget &w)
{
    return ControlOf<FlexGrid>(w, "fgdWKCONT");
}
inline QFrame *panelOf(QWidget &w)
{
    return ControlOf<QFrame>(w, "fraPanel");
}

// A main window on a real database in a temporary folder, shown and active, with every message taken
// by a MessageLog. The settings live in the folder's Worvane.ini.
class WindowFixture
{
public:
    explicit WindowFixture(const QString &defaultCode = QStringLiteral("A0012345"));
    ~WindowFixture();

    frmWorvane &w() { return *m_window; }
    Store &store() { return *m_store; }
    MessageLog &log() { return m_log; }
    QString dbPath() const { return m_db; }
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Worvane.ini")); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Keys go to the widget that has the focus, the way the user types them.
    static void type(const QString &text);
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static QWidget *focus();
    // Lets posted events (a posted Tab, a deferred selection) run.
    static void settle();

    // A new main window, started with the database at path.
    void useDatabase(const QString &path);

    // Puts a day on the screen through the search, as the user would: code, date, 検索.
    void search(const QString &code, const QString &date);
    // Adds an item through the editor and F5.
    void addItem(const QString &number, const QString &title, const QString &detail);

    // The list's rows 1..n as "number|title|detail".
    QStringList listRows();

private:
    QTemporaryDir m_dir;
    QString m_db;
    QString m_code;
    MessageLog m_log;
    std::unique_ptr<Store> m_store; // the program's one store, as main makes it
    std::unique_ptr<frmWorvane> m_window;
};

} // namespace worvane::test
