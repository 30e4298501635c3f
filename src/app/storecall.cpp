#include "app/storecall.h"

#include "core/messages.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace worvane
{

namespace
{
// A call shorter than this never enters the event loop: the window has nothing to paint meanwhile.
constexpr auto Quick = std::chrono::milliseconds(4);
constexpr int HourglassAfterMs = 200;

// One store's calls one after another, whichever window or timer asks.
std::mutex &lockOf(const Store &store)
{
    static std::mutex guard;
    static std::map<const Store *, std::unique_ptr<std::mutex>> locks;
    const std::lock_guard hold(guard);
    std::unique_ptr<std::mutex> &lock = locks[&store];
    if (!lock)
        lock = std::make_unique<std::mutex>();
    return *lock;
}

// A window closed while its call runs would be gone when the call comes back: closing waits.
class HoldCloses : public QObject
{
public:
    HoldCloses() { qApp->installEventFilter(this); }
    ~HoldCloses() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::Close; }
};
} // namespace

void AwaitStoreCall(QWidget *window, Store &store, const std::function<void()> &work, const WaitBox &waitBox)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    std::mutex &storeLock = lockOf(store);
    std::thread worker([&work, &storeLock, shared, waiting] {
        {
            const std::lock_guard hold(storeLock);
            work();
        }
        {
            const std::lock_guard hold(shared->lock);
            shared->done = true;
        }
        shared->finished.notify_all();
        QMetaObject::invokeMethod(
            qApp,
            [waiting] {
                if (waiting)
                    waiting->quit();
            },
            Qt::QueuedConnection);
    });
    bool done = false;
    {
        std::unique_lock hold(shared->lock);
        done = shared->finished.wait_for(hold, Quick, [&shared] { return shared->done; });
    }
    if (!done) {
        const HoldCloses holdCloses;
        bool hourglass = false;
        QTimer hourglassTimer;
        hourglassTimer.setSingleShot(true);
        QObject::connect(&hourglassTimer, &QTimer::timeout, [&hourglass] {
            hourglass = true;
            QApplication::setOverrideCursor(Qt::WaitCursor);
        });
        hourglassTimer.start(HourglassAfterMs);
        // Until the box shows, the windows take no input; the box then takes it alone (it is modal).
        std::unique_ptr<QProgressDialog> box;
        QTimer boxTimer;
        boxTimer.setSingleShot(true);
        QObject::connect(&boxTimer, &QTimer::timeout, [&] {
            box = std::make_unique<QProgressDialog>(waitBox.text, msg::CancelButton, 0, 0, window);
            box->setWindowTitle(waitBox.title);
            if (!waitBox.cancellable)
                box->setCancelButton(nullptr);
            box->setObjectName(QStringLiteral("dlgWaiting"));
            box->setWindowModality(Qt::ApplicationModal);
            box->setMinimumDuration(0);
            QObject::connect(box.get(), &QProgressDialog::canceled, [&store] { store.cancel(); });
            box->show();
            loop.quit(); // to run again taking input, for the box
        });
        boxTimer.start(waitBox.showAfterMs);
        for (;;) {
            {
                const std::lock_guard hold(shared->lock);
                if (shared->done)
                    break;
            }
            loop.exec(box ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        }
        if (hourglass)
            QApplication::restoreOverrideCursor();
    }
    worker.join();
}

BackgroundCall::~BackgroundCall()
{
    if (m_running)
        m_store.cancel();
    if (m_worker.joinable())
        m_worker.join();
}

bool BackgroundCall::startWork(std::function<void()> work, QObject *context, std::function<void()> done)
{
    if (m_running)
        return false;
    if (m_worker.joinable())
        m_worker.join();
    m_running = true;
    m_back = false;
    m_done = std::move(done);
    const quint64 call = ++m_calls;
    std::mutex &storeLock = lockOf(m_store);
    // The context owns this call, so it outlives the thread (the destructor waits for it); an answer
    // posted to a context gone meanwhile is dropped with it.
    m_worker = std::thread([this, work = std::move(work), &storeLock, context, call] {
        {
            const std::lock_guard hold(storeLock);
            work();
        }
        {
            const std::lock_guard hold(m_lock);
            m_back = true;
        }
        m_cameBack.notify_all();
        QMetaObject::invokeMethod(
            context,
            [this, call] {
                if (m_running && call == m_calls) // not one that settle() took already
                    finish();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void BackgroundCall::finish()
{
    m_worker.join();
    m_running = false;
    const std::function<void()> done = std::exchange(m_done, {});
    done();
}

void BackgroundCall::cancel()
{
    if (m_running)
        m_store.cancel();
}

bool BackgroundCall::settle(int ms)
{
    if (!m_running)
        return true;
    {
        std::unique_lock hold(m_lock);
        if (!m_cameBack.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_back; }))
            return false;
    }
    finish();
    return true;
}

Message FailureMessage(const StoreError &error, const QString &database, const Message &otherwise)
{
    using Kind = StoreError::Kind;
    using Rule = StoreError::Rule;
    switch (error.rule) {
    case Rule::PasswordInUri:
        return msg::PasswordInPath;
    case Rule::LeadOnly:
        return msg::ProjectCodeLeadOnly;
    case Rule::ProjectInUse:
        return msg::ProjectCodeInUse;
    case Rule::DayLocked:
        return msg::DayLocked;
    case Rule::NoSavedDay:
        return msg::NoSavedDay;
    case Rule::TeamOnly:
        return msg::TeamOnly;
    case Rule::Permission:
        return msg::ServerRefused(database);
    case Rule::UnstorableCharacter:
    case Rule::None:
        break;
    }
    switch (error.kind) {
    case Kind::Unreachable:
        return msg::ServerUnreachable(database);
    case Kind::Authentication:
        return msg::ServerLoginFailed(database);
    case Kind::TimedOut:
        return msg::ServerTimedOut(database);
    case Kind::Refused: // a file or folder that is read-only
        break;
    case Kind::Conflict:
        return msg::DayChangedElsewhere;
    case Kind::Busy:
        return msg::DatabaseBusy;
    case Kind::DiskFull:
        return msg::DatabaseDiskFull;
    case Kind::Cancelled:
        return msg::Cancelled;
    case Kind::Other:
        break;
    }
    return otherwise;
}

Message UnstorableMessage(const Unstorable &where)
{
    static const char16_t *const fields[] = {u"プロジェクトコード", u"プロジェクト名", u"開始時刻", u"終了時刻",
                                             u"作業項目№", u"作業項目", u"作業内容"};
    QString place = where.date.isEmpty() ? QStringLiteral("プロジェクト %1 の").arg(where.code)
                                         : QStringLiteral("%1 %2 の").arg(where.date, where.code);
    if (!where.item.isEmpty())
        place += QStringLiteral("作業項目№ %1 の").arg(where.item);
    place += QString::fromUtf16(fields[int(where.field)]);
    return msg::UnstorableCharacter(place,
                                    QStringLiteral("U+%1").arg(QString::number(uint(where.character), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
}

} // namespace worvane
