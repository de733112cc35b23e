#include "output/Line_Hand_Over.h"

#include "base/Sync_Events.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace {

const QEvent::Type Send_Event_Type = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// Receives the posted send on the window thread. A plain event is the cheapest thing Qt can post
// across threads (one small allocation, no call object); events still queued when it goes are
// dropped with it.
class Line_Hand_Over_Target : public QObject
{
public:
    explicit Line_Hand_Over_Target(Line_Hand_Over& owner_)
        : owner(owner_)
    { }

    bool event(QEvent* event) override
    {
        // Qt's queue orders the posted event after its making, but behind locks a thread checker
        // cannot see into; the event is posted under this lock, and taking it here makes that
        // ordering explicit.
        {
            std::lock_guard seen(owner.mutex);
        }
        if (event->type() != Send_Event_Type)
            return QObject::event(event);
        owner.Send_On_Window_Thread();
        return true;
    }

private:
    Line_Hand_Over& owner;
};

Line_Hand_Over::Line_Hand_Over(QObject* window_object, Sender sender_, Manual_Reset_Event& answer_)
    : sender(std::move(sender_))
    , answer(answer_)
    , target(std::make_unique<Line_Hand_Over_Target>(*this))
{
    if (window_object)
        target->moveToThread(window_object->thread());
}

Line_Hand_Over::~Line_Hand_Over() = default;

void Line_Hand_Over::Send_On_Window_Thread()
{
    {
        std::lock_guard lock(mutex);
        if (state != State::Posted)
            return;
        state = State::Sending;
    }
    const bool sent = sender && sender(line, size, heartbeat);
    std::lock_guard lock(mutex);
    state = sent ? State::Sent : State::No_Connection;
    sent_at = Clock::now();
    if (waiting)
        sent_changed.notify_all();
    // The monitoring thread waits for an answer that cannot come: wake it now. Under the lock, so
    // that this wake-up can never outlive the line it belongs to.
    if (!sent)
        answer.Set();
}

Line_Hand_Over::State Line_Hand_Over::Wait_Until_Sent(std::stop_token stop, Clock::time_point& sent_time)
{
    std::unique_lock lock(mutex);
    const auto taken = [this] { return state != State::Posted && state != State::Sending; };
    if (!taken()) {
        waiting = true;
        sent_changed.wait(lock, stop, taken);
        // A send under way ends by itself on the window thread; one not yet begun is given up.
        if (state == State::Posted)
            state = State::Given_Up;
        else if (state == State::Sending)
            sent_changed.wait(lock, taken);
        waiting = false;
    }
    sent_time = sent_at;
    const State result = state;
    state = State::Idle;
    return result;
}

Line_Hand_Over::Result Line_Hand_Over::Send_And_Await(const char* line_, std::size_t size_, bool heartbeat_,
    std::chrono::milliseconds answer_wait, std::stop_token stop)
{
    {
        std::lock_guard lock(mutex);
        line = line_;
        size = size_;
        heartbeat = heartbeat_;
        state = State::Posted;
        QCoreApplication::postEvent(target.get(), new QEvent(Send_Event_Type));
    }

    // Usually the answer itself ends this wait, with the send long done.
    bool answered = answer.Wait_For(answer_wait);
    Clock::time_point sent_time;
    switch (Wait_Until_Sent(stop, sent_time)) {
    case State::No_Connection:
        return Result::No_Connection;
    case State::Sent:
        break;
    default:
        return Result::Given_Up;
    }
    // The wait counts from the send: when the window thread sent late, the rest of it follows.
    if (!answered) {
        const auto rest
            = std::chrono::ceil<std::chrono::milliseconds>(sent_time + answer_wait - Clock::now());
        answered = rest.count() > 0 && answer.Wait_For(rest);
    }
    return answered ? Result::Answered : Result::No_Answer;
}
