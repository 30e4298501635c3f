#pragma once

#include "core/messages.h"
#include "store/store.h"
#include "store/storerules.h"

#include <QWidget>

#include <functional>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <utility>

namespace worvane
{

// A store call made from a window: it runs on a thread of its own while the window goes on painting.
// Keys and clicks wait meanwhile, and reach the window once the call is done. After a moment the
// hourglass shows; after a second a box says that the database is working, with a キャンセル button
// that stops the call in the database itself (the call then fails as Cancelled). Calls on one store run
// one after another.
// The box a long call shows: what it says, after how long, and whether it offers キャンセル.
struct WaitBox {
    QString text = msg::WaitingForDatabase;
    QString title = caption::Main;
    int showAfterMs = 1000;
    bool cancellable = true;
};
void AwaitStoreCall(QWidget *window, Store &store, const std::function<void()> &work, const WaitBox &box = {});

template <class Call> auto CallStore(QWidget *window, Store &store, Call &&call) -> decltype(call())
{
    std::optional<decltype(call())> result;
    AwaitStoreCall(window, store, [&] { result.emplace(call()); });
    return std::move(*result);
}

// A store call the window does not wait for: it runs on a thread of its own while the window takes keys
// and clicks as ever; `done` then runs on the window's thread with the call's result, unless `context` is
// gone by then. The context owns the call (a member of the window, or its child). Calls on one store still
// run one after another (a window's own AwaitStoreCall waits for this one). One at a time: start() while
// one runs is refused (false). cancel() asks the store to stop it (it then comes back, as Cancelled or
// done); the destructor cancels it and waits for it.
class BackgroundCall
{
public:
    explicit BackgroundCall(Store &store) : m_store(store) {}
    ~BackgroundCall();
    BackgroundCall(const BackgroundCall &) = delete;
    BackgroundCall &operator=(const BackgroundCall &) = delete;

    template <class Call, class Done> bool start(QObject *context, Call call, Done done)
    {
        using Value = decltype(call());
        auto result = std::make_shared<std::optional<Value>>();
        return startWork([result, call = std::move(call)] { result->emplace(call()); }, context,
                         [result, done = std::move(done)] { done(std::move(**result)); });
    }
    bool running() const { return m_running; }
    void cancel();
    // Waits up to `ms` (without taking input) for the call to come back; when it has, its `done` has run
    // (true). A window waits a frame this way, so that a quick call shows with the key that asked for it.
    bool settle(int ms);

private:
    bool startWork(std::function<void()> work, QObject *context, std::function<void()> done);
    void finish();

    Store &m_store;
    std::thread m_worker;
    bool m_running = false;
    quint64 m_calls = 0;
    std::function<void()> m_done;
    std::mutex m_lock; // guards m_back
    std::condition_variable m_cameBack;
    bool m_back = false;
};

// What a window says when a store call failed: the cause where the user can act on it (the server out of
// reach, the login, no answer in time, a permission, another program's lock, a full disk, a change made
// elsewhere, a refusal of the database's rules), else `otherwise`.
Message FailureMessage(const StoreError &error, const QString &database, const Message &otherwise);
// Where a character the database cannot store is, and which, in the user's words.
Message UnstorableMessage(const Unstorable &where);

} // namespace worvane
