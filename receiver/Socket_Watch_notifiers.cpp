#include "receiver/Socket_Watch.h"

#include <QObject>
#include <QSocketNotifier>

#include <unordered_map>

// Where the system offers no readiness set, each connection gets notifiers of its own in the
// event loop.
struct Socket_Watch::State
{
    struct Watched
    {
        std::unique_ptr<QSocketNotifier> Reader;
        std::unique_ptr<QSocketNotifier> Writer;
    };

    State(QObject& owner_, Ready ready_)
        : owner(owner_)
        , ready(std::move(ready_))
    { }

    QObject& owner;
    Ready ready;
    std::unordered_map<std::intptr_t, Watched> watched;
};

Socket_Watch::Socket_Watch(QObject& owner, Ready ready)
    : state(std::make_unique<State>(owner, std::move(ready)))
{ }

Socket_Watch::~Socket_Watch() = default;

bool Socket_Watch::Add(std::intptr_t descriptor, void* tag)
{
    State::Watched& entry = state->watched[descriptor];
    entry.Reader = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    QObject::connect(entry.Reader.get(), &QSocketNotifier::activated, &state->owner,
        [ready = &state->ready, tag] { (*ready)(tag, true, false); });
    return true;
}

void Socket_Watch::Want_Write(std::intptr_t descriptor, void* tag, bool wanted)
{
    const auto found = state->watched.find(descriptor);
    if (found == state->watched.end())
        return;
    State::Watched& entry = found->second;
    if (!entry.Writer && wanted) {
        entry.Writer = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Write);
        QObject::connect(entry.Writer.get(), &QSocketNotifier::activated, &state->owner,
            [ready = &state->ready, tag] { (*ready)(tag, false, true); });
    }
    if (entry.Writer)
        entry.Writer->setEnabled(wanted);
}

void Socket_Watch::Remove(std::intptr_t descriptor)
{
    const auto found = state->watched.find(descriptor);
    if (found == state->watched.end())
        return;
    // The notifiers go quiet now; they are freed once a signal of theirs that may be on the call
    // stack has returned.
    for (QSocketNotifier* notifier : {found->second.Reader.release(), found->second.Writer.release()})
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    state->watched.erase(found);
}
