#pragma once

#include "core/messages.h"
#include "store/store.h"
#include "store/storerules.h"

#include <QWidget>

#include <functional>
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

// What a window says when a store call failed: the cause where the user can act on it (the server out of
// reach, the login, no answer in time, a permission, another program's lock, a full disk, a change made
// elsewhere, a refusal of the database's rules), else `otherwise`.
Message FailureMessage(const StoreError &error, const QString &database, const Message &otherwise);
// Where a character the database cannot store is, and which, in the user's words.
Message UnstorableMessage(const Unstorable &where);

} // namespace worvane
