// Field rules and typing limits on real widgets, driven with real key, mouse, input-method and drop
// events on the offscreen platform.

#include "widgets/bytelimit.h"
#include "core/cp932.h"
#include "widgets/fieldrules.h"
#include "core/modcommon.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace worvane;

namespace
{

// Types text the way the keyboard does: one key press and release per character.
void type(QWidget *w, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() ? 2 : 1;
        const QString ch = text.mid(i, width);
        const ushort u = ch.at(0).unicode();
        Qt::Key key = Qt::Key_unknown;
        if (u >= 'a' && u <= 'z')
            key = Qt::Key(Qt::Key_A + (u - 'a'));
        else if (u >= 0x20 && u < 0x7F)
            key = Qt::Key(QChar(u).toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, w, key, ch, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, key, ch, Qt::NoModifier);
        i += width - 1;
    }
}

QString repeated(const QString &s, int n)
{
    return s.repeated(n);
}

// A shown, active top-level window with line edits in tab order: first, second, a disabled one, last.
struct Window {
    std::unique_ptr<QWidget> top{new QWidget};
    QLineEdit *first = new QLineEdit(top.get());
    QLineEdit *second = new QLineEdit(top.get());
    QLineEdit *disabled = new QLineEdit(top.get());
    QLineEdit *last = new QLineEdit(top.get());

    Window()
    {
        auto *layout = new QVBoxLayout(top.get());
        for (QLineEdit *e : {first, second, disabled, last})
            layout->addWidget(e);
        first->setObjectName("first");
        second->setObjectName("second");
        disabled->setObjectName("disabled");
        last->setObjectName("last");
        disabled->setEnabled(false);
        first->setFocus();
        top->show();
        QApplication::setActiveWindow(top.get());
        QVERIFY(QTest::qWaitForWindowActive(top.get()));
    }
};

QWidget *focused()
{
    return QApplication::focusWidget();
}

} // namespace

class TestFields : public QObject
{
    Q_OBJECT

private slots:
    void digitFilterOnField_data();
    void digitFilterOnField();
    void enterLandsWhereTabLands_data();
    void enterLandsWhereTabLands();
    void enterToTabLeavesOtherKeysAndMovesLater();
    void swallowedEnterDoesNotReachDefaultButton();
    void replacedKeyCodeTypesThatCharacter();
    void focusEventsIgnoreWindowActivation();
    void selectAllOnEntry();

    void lineLimitHalfWidth();
    void lineLimitFullWidth();
    void lineLimitPaste();
    void lineLimitContextMenuAndDrop();
    void lineLimitKeepsProgramText();
    void lineLimitRefusesNonCp932();
    void lineLimitInputMethod();
    void digitFieldTakesOnlyDigitsFromAPaste();
    void marksTakeTheirShiftJisFormsAndRefusalsAreTold();
    void multiLineLimit();
    void multiLinePasteAndProgramText();
};

void TestFields::digitFilterOnField_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::newRow("digit") << int(Qt::Key_7) << "7"
                           << "127";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b"
                               << "1";
    QTest::newRow("letter") << int(Qt::Key_A) << "a"
                            << "12";
    QTest::newRow("slash") << int(Qt::Key_Slash) << "/"
                           << "12";
    QTest::newRow("colon") << int(Qt::Key_Colon) << ":"
                           << "12";
    QTest::newRow("blank") << int(Qt::Key_Space) << " "
                           << "12";
    QTest::newRow("full-width digit") << int(Qt::Key_unknown) << QString(QChar(0xFF17)) << "12";
}

void TestFields::digitFilterOnField()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, result);
    Window w;
    QList<int> seen;
    connect(events(w.first), &FieldEvents::keyPress, this, [&seen](int &code) {
        DigitKeyFilter(code);
        seen << code;
    });
    w.first->setText("12");
    w.first->setCursorPosition(2);
    QTest::sendKeyEvent(QTest::Click, w.first, Qt::Key(key), text, Qt::NoModifier);
    QCOMPARE(w.first->text(), result);

    // Enter passes the filter with its code.
    seen.clear();
    QTest::keyClick(w.first, Qt::Key_Return);
    QCOMPARE(seen, QList<int>{13});
}

void TestFields::enterLandsWhereTabLands_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("next") << "first"
                          << "second";
    QTest::newRow("over the disabled one") << "second"
                                           << "last";
    QTest::newRow("wrap to the first") << "last"
                                       << "first";
}

void TestFields::enterLandsWhereTabLands()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    Window w;
    for (QLineEdit *e : {w.first, w.second, w.last})
        connect(events(e), &FieldEvents::keyPress, e, [e](int &code) { EnterToTab(code, e); });
    auto *start = w.top->findChild<QLineEdit *>(from);

    start->setFocus();
    QTest::keyClick(focused(), Qt::Key_Tab);
    QWidget *byTab = focused();
    QCOMPARE(byTab->objectName(), to);

    start->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    QTRY_COMPARE(focused(), byTab);
}

void TestFields::enterToTabLeavesOtherKeysAndMovesLater()
{
    Window w;
    int after = -1;
    connect(events(w.first), &FieldEvents::keyPress, this, [&](int &code) {
        EnterToTab(code, w.first);
        after = code;
    });
    QTest::keyClick(w.first, Qt::Key_X);
    QCOMPARE(after, int('x'));
    QCOMPARE(w.first->text(), QStringLiteral("x"));
    QCOMPARE(focused(), w.first);

    QTest::keyClick(w.first, Qt::Key_Return);
    QCOMPARE(after, 0);
    QCOMPARE(focused(), w.first); // not yet: the move waits for the key event to finish
    QTRY_COMPARE(focused(), w.second);
    QCOMPARE(w.first->text(), QStringLiteral("x"));
}

void TestFields::swallowedEnterDoesNotReachDefaultButton()
{
    QDialog dialog;
    auto *field = new QLineEdit(&dialog);
    auto *button = new QPushButton("OK", &dialog);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(field);
    layout->addWidget(button);
    button->setDefault(true);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    field->setFocus();
    QSignalSpy clicked(button, &QPushButton::clicked);
    QSignalSpy returned(field, &QLineEdit::returnPressed);

    // Without a handler, Enter reaches the default button.
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(clicked.count(), 1);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    field->setFocus();
    clicked.clear();
    returned.clear();

    connect(events(field), &FieldEvents::keyPress, field, [field](int &code) { EnterToTab(code, field); });
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(returned.count(), 0);
    QVERIFY(dialog.isVisible());
    QCOMPARE(focused(), button); // Tab went on to the button
}

void TestFields::replacedKeyCodeTypesThatCharacter()
{
    Window w;
    connect(events(w.first), &FieldEvents::keyPress, this, [](int &code) {
        if (code >= 'a' && code <= 'z')
            code -= 'a' - 'A';
    });
    type(w.first, "ab1");
    QCOMPARE(w.first->text(), QStringLiteral("AB1"));
}

void TestFields::focusEventsIgnoreWindowActivation()
{
    QLineEdit *early = nullptr;
    std::unique_ptr<QWidget> top(new QWidget);
    early = new QLineEdit(top.get());
    auto *other = new QLineEdit(top.get());
    auto *layout = new QVBoxLayout(top.get());
    layout->addWidget(early);
    layout->addWidget(other);
    QSignalSpy earlyGot(events(early), &FieldEvents::gotFocus);
    QSignalSpy earlyLost(events(early), &FieldEvents::lostFocus);
    QSignalSpy otherGot(events(other), &FieldEvents::gotFocus);
    QSignalSpy otherLost(events(other), &FieldEvents::lostFocus);
    early->setFocus();
    top->show();
    QApplication::setActiveWindow(top.get());
    QVERIFY(QTest::qWaitForWindowActive(top.get()));
    QCOMPARE(earlyGot.count(), 1); // the window's first activation enters the field

    QTest::keyClick(early, Qt::Key_Tab);
    QCOMPARE(earlyLost.count(), 1);
    QCOMPARE(otherGot.count(), 1);

    // Another window comes to the front and goes again: the field was not left.
    {
        QWidget box;
        auto *boxField = new QLineEdit(&box);
        boxField->setFocus();
        box.show();
        QApplication::setActiveWindow(&box);
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QVERIFY(!other->hasFocus());
        QCOMPARE(otherLost.count(), 0);
    }
    QApplication::setActiveWindow(top.get());
    QVERIFY(QTest::qWaitForWindowActive(top.get()));
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(otherLost.count(), 0);
    QCOMPARE(otherGot.count(), 1);

    // The program moves the focus: that is leaving.
    early->setFocus();
    QCOMPARE(otherLost.count(), 1);
    QCOMPARE(earlyGot.count(), 2);
}

void TestFields::selectAllOnEntry()
{
    Window w;
    w.second->setText("abc");
    w.last->setText("xyz");
    for (QLineEdit *e : {w.second, w.last})
        connect(events(e), &FieldEvents::gotFocus, e, [e] { SelectAllOnFocus(e); });

    QTest::keyClick(w.first, Qt::Key_Tab);
    QCOMPARE(w.second->selectedText(), QStringLiteral("abc"));
    type(w.second, "q");
    QCOMPARE(w.second->text(), QStringLiteral("q"));

    // Entering with a mouse click selects as well, once the click has been handled.
    QTest::mouseClick(w.last, Qt::LeftButton, Qt::NoModifier, QPoint(5, w.last->height() / 2));
    QVERIFY(w.last->hasFocus());
    QTRY_COMPARE(w.last->selectedText(), QStringLiteral("xyz"));

    QPlainTextEdit edit;
    edit.setPlainText("one\ntwo");
    SelectAllOnFocus(&edit);
    QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("one") + QChar::ParagraphSeparator + "two");
}

void TestFields::lineLimitHalfWidth()
{
    Window w;
    SetByteLimit(w.first, 8);
    QCOMPARE(ByteLimit(w.first), 8);
    type(w.first, "abcdefgh");
    QCOMPARE(w.first->text(), QStringLiteral("abcdefgh"));
    type(w.first, "i");
    QCOMPARE(w.first->text(), QStringLiteral("abcdefgh"));
    // A full-width character does not fit into the one byte freed by Backspace; a half-width one does.
    QTest::keyClick(w.first, Qt::Key_Backspace);
    type(w.first, QStringLiteral("あ"));
    QCOMPARE(w.first->text(), QStringLiteral("abcdefg"));
    type(w.first, QStringLiteral("ｱ"));
    QCOMPARE(w.first->text(), QStringLiteral("abcdefgｱ"));
    // Typing over a selection counts the room the selection frees.
    w.first->setSelection(0, 2);
    type(w.first, QStringLiteral("あ"));
    QCOMPARE(w.first->text(), QStringLiteral("あcdefgｱ"));
}

void TestFields::lineLimitFullWidth()
{
    Window w;
    SetByteLimit(w.first, 80);
    type(w.first, repeated(QStringLiteral("作"), 40));
    QCOMPARE(w.first->text().size(), 40);
    type(w.first, QStringLiteral("業"));
    type(w.first, QStringLiteral("a"));
    QCOMPARE(w.first->text(), repeated(QStringLiteral("作"), 40));

    w.second->setText(repeated(QStringLiteral("作"), 39) + "a");
    SetByteLimit(w.second, 80);
    w.second->end(false);
    type(w.second, QStringLiteral("業"));
    QCOMPARE(w.second->text().size(), 40);
    type(w.second, QStringLiteral("b"));
    QCOMPARE(w.second->text(), repeated(QStringLiteral("作"), 39) + "ab");
}

void TestFields::lineLimitPaste()
{
    Window w;
    SetByteLimit(w.first, 8);
    QGuiApplication::clipboard()->setText(QStringLiteral("ABCDEFGHIJ"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.first->text(), QStringLiteral("ABCDEFGH"));

    // Cut between characters: the first full-width character that does not fit is left out whole.
    w.first->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("abcdefgあい"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.first->text(), QStringLiteral("abcdefg"));

    // Pasting over the selection; only the first line of a multi-line text.
    w.first->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("xy\r\nzz"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.first->text(), QStringLiteral("xy"));

    // Shift+Insert pastes too.
    w.first->setText("12345");
    w.first->end(false);
    QGuiApplication::clipboard()->setText(QStringLiteral("ｱｲｳｴ"));
    QTest::keyClick(w.first, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(w.first->text(), QStringLiteral("12345ｱｲｳ"));
}

void TestFields::lineLimitContextMenuAndDrop()
{
    Window w;
    SetByteLimit(w.first, 8);
    QGuiApplication::clipboard()->setText(QStringLiteral("あいうえお"));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), w.first->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(w.first, &menuEvent);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    QAction *paste = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text().startsWith(QLatin1String("&Paste")) ||
            action->text().contains(QStringLiteral("貼り付け")))
            paste = action;
    }
    QVERIFY(paste);
    paste->trigger();
    menu->close();
    QCOMPARE(w.first->text(), QStringLiteral("あいうえ"));

    w.first->setText("abc");
    QMimeData mime;
    mime.setText(QStringLiteral("0123456789"));
    const QPoint end(w.first->width() - 2, w.first->height() / 2);
    QDragEnterEvent enter(end, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.first, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(end, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.first, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(w.first->text(), QStringLiteral("abc01234"));
}

void TestFields::lineLimitKeepsProgramText()
{
    Window w;
    SetByteLimit(w.first, 4);
    w.first->setText("09:30");
    QCOMPARE(w.first->text(), QStringLiteral("09:30"));
    w.first->end(false);
    type(w.first, "1");
    QCOMPARE(w.first->text(), QStringLiteral("09:30"));
    QTest::keyClick(w.first, Qt::Key_Backspace);
    QTest::keyClick(w.first, Qt::Key_Backspace);
    type(w.first, "5");
    QCOMPARE(w.first->text(), QStringLiteral("09:5"));

    SetByteLimit(w.second, 8);
    const QString longText = QStringLiteral("プロジェクト名称が長い");
    w.second->setText(longText);
    QCOMPARE(w.second->text(), longText);
    w.second->insert(QStringLiteral("続き")); // insert() is the program's too
    QCOMPARE(w.second->text(), longText + QStringLiteral("続き"));
}

void TestFields::lineLimitRefusesNonCp932()
{
    Window w;
    SetByteLimit(w.first, 8);
    type(w.first, QStringLiteral("a\U0001F600b"));
    QCOMPARE(w.first->text(), QStringLiteral("ab"));
    type(w.first, QStringLiteral("é"));
    QCOMPARE(w.first->text(), QStringLiteral("ab"));
    QGuiApplication::clipboard()->setText(QStringLiteral("c\U0001F600dé"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.first->text(), QStringLiteral("abcd"));

    // Without a byte limit such characters are refused all the same.
    SetByteLimit(w.second, 0);
    type(w.second, QStringLiteral("x\U0001F600y"));
    QCOMPARE(w.second->text(), QStringLiteral("xy"));
}

void TestFields::lineLimitInputMethod()
{
    Window w;
    SetByteLimit(w.first, 8);
    SetInputMethodEnabled(w.first, true);
    QVERIFY(w.first->testAttribute(Qt::WA_InputMethodEnabled));
    w.first->setText("ab");
    w.first->end(false);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("作業内容です"));
    QCoreApplication::sendEvent(w.first, &commit);
    QCOMPARE(w.first->text(), QStringLiteral("ab作業内"));
    SetInputMethodEnabled(w.first, false);
    QVERIFY(!w.first->testAttribute(Qt::WA_InputMethodEnabled));
}

void TestFields::digitFieldTakesOnlyDigitsFromAPaste()
{
    Window w;
    SetByteLimit(w.first, 2, Accepts::Digits);
    // The same rule as typed keys: the digits stay, everything else goes, then the byte limit.
    for (const auto &[pasted, kept] : {std::pair{"ab", ""}, {"a1b2c3", "12"}, {"１2/3", "23"}, {" 0 5 ", "05"}}) {
        w.first->clear();
        QGuiApplication::clipboard()->setText(QString::fromUtf8(pasted));
        QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.first->text(), QString::fromUtf8(kept));
    }
    // A drop obeys it too.
    w.first->clear();
    QMimeData data;
    data.setText(QStringLiteral("x9y"));
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.first, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.first, &drop);
    QCOMPARE(w.first->text(), QStringLiteral("9"));
}

void TestFields::marksTakeTheirShiftJisFormsAndRefusalsAreTold()
{
    Window w;
    SetByteLimit(w.first, 80);
    QLabel status(w.top.get());
    InstallStatusLine(w.top.get(), &status);
    // Typed, pasted or committed by an input method, the marks Linux input methods give go in as the
    // CP932 ones, and count as such.
    type(w.first, QStringLiteral("9時\u301C18時"));
    QCOMPARE(w.first->text(), QStringLiteral("9時\uFF5E18時"));
    QCOMPARE(status.text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("\u2212\u2016\u00A2\u00A3\u00AC"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.first->text(), QStringLiteral("9時\uFF5E18時\uFF0D\u2225\uFFE0\uFFE1\uFFE2"));
    QVERIFY(IsCp932Representable(w.first->text()));
    // What has no CP932 form at all stays out, and the window's status line says which.
    QGuiApplication::clipboard()->setText(QStringLiteral("a\U0001F600b한"));
    QTest::keyClick(w.first, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(w.first->text().endsWith(QStringLiteral("ab")));
    QVERIFY2(status.text().contains(QStringLiteral("\U0001F600한")), qPrintable(status.text()));
    status.clear();
    type(w.first, QStringLiteral("\U0001F600"));
    QVERIFY(status.text().contains(QStringLiteral("\U0001F600")));
}

void TestFields::multiLineLimit()
{
    QWidget top;
    auto *edit = new LimitedTextEdit(&top);
    auto *layout = new QVBoxLayout(&top);
    layout->addWidget(edit);
    top.show();
    QApplication::setActiveWindow(&top);
    QVERIFY(QTest::qWaitForWindowActive(&top));
    edit->setFocus();
    SetByteLimit(edit, 10);

    type(edit, "abcdefgh");
    QTest::keyClick(edit, Qt::Key_Return); // a line break counts 2: 10 bytes
    QCOMPARE(edit->toPlainText(), QStringLiteral("abcdefgh\n"));
    type(edit, "i");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->toPlainText(), QStringLiteral("abcdefgh\n"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    type(edit, "hi");
    QTest::keyClick(edit, Qt::Key_Return); // 9 bytes: no room for a line break
    QCOMPARE(edit->textCrLf(), QStringLiteral("abcdefghi"));
    type(edit, QStringLiteral("あ")); // nor for a full-width character
    type(edit, QStringLiteral("\U0001F600"));
    type(edit, QStringLiteral("j"));
    QCOMPARE(edit->textCrLf(), QStringLiteral("abcdefghij"));
}

void TestFields::multiLinePasteAndProgramText()
{
    QWidget top;
    auto *edit = new LimitedTextEdit(&top);
    auto *layout = new QVBoxLayout(&top);
    layout->addWidget(edit);
    top.show();
    QApplication::setActiveWindow(&top);
    QVERIFY(QTest::qWaitForWindowActive(&top));
    edit->setFocus();
    SetByteLimit(edit, 5);

    QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny\r\nz"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->textCrLf(), QStringLiteral("x\r\ny"));

    edit->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("作\U0001F600業内"));
    edit->paste();
    QCOMPARE(edit->textCrLf(), QStringLiteral("作業"));

    // The program's own text is never cut, and CR LF comes back as CR LF.
    const QString detail = QString(QStringLiteral("作業内容の一行目\r\n")).repeated(20);
    edit->setTextCrLf(detail);
    QCOMPARE(edit->textCrLf(), detail);
    edit->setPlainText(QStringLiteral("a\r\nb"));
    QCOMPARE(edit->textCrLf(), QStringLiteral("a\r\nb"));
}

QTEST_MAIN(TestFields)
#include "test_fields.moc"
