#pragma once

#include <QString>

#include <optional>
#include <utility>

// What a store operation gives back: its value, and beside it, when it failed, an error with a kind the
// caller can act on and the engine's own words for the log.

namespace worvane
{

struct StoreError {
    enum class Kind {
        Unreachable,    // the server could not be reached, or went away
        Authentication, // the server refused the login
        TimedOut,       // the server did not answer in time
        Conflict,       // another writer won: the day changed since it was loaded, or was saved at once
        Busy,           // another program held the database file for longer than the wait
        Refused,        // the database refused it: a permission, a rule of its own, a file that is read-only
        DiskFull,       // no room left on the disk for the change
        Cancelled,      // the user stopped it while it ran
        Other,
    };
    // Which rule of the database a refusal is, where the user is told it apart.
    enum class Rule {
        None,
        PasswordInUri,      // the team database's URI holds a password
        Permission,         // the team database's permissions do not let this login do it
        LeadOnly,           // renaming a project's code, or deleting a project, is a lead's
        ProjectInUse,       // a day uses the project's code
        UnstorableCharacter, // a text holds a character the database cannot store
        DayLocked,          // the day is approved, or in a closed month
        NoSavedDay,         // a lead's action on a day that is not saved
        TeamOnly            // a lead's action asked of a file, which has no team
    };
    Kind kind = Kind::Other;
    QString text; // the engine's words (never a password)
    Rule rule = Rule::None;
};

template <class T> struct Result {
    T value{};
    std::optional<StoreError> error;

    bool ok() const { return !error.has_value(); }
    bool failedAs(StoreError::Kind kind) const { return error && error->kind == kind; }

    static Result failure(StoreError why)
    {
        Result result;
        result.error = std::move(why);
        return result;
    }
    template <class U> static Result failure(const Result<U> &other) { return failure(*other.error); }
};

// An operation that gives back nothing but whether it went well.
struct Done {
};
using Outcome = Result<Done>;

} // namespace worvane
