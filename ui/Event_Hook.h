#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

// Runs an action for every event of one type that reaches a watched object and lets the event go
// on. Each concern of a window gets its own hook instead of one filter that sorts them all. The hook
// is a child of the watched object, so it lives exactly as long.
class Event_Hook : public QObject
{
public:
    static void Install(QObject* watched, QEvent::Type type, std::function<void(QEvent*)> action)
    {
        new Event_Hook(watched, type, std::move(action));
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type)
            action(event);
        return false;
    }

private:
    Event_Hook(QObject* watched, QEvent::Type event_type, std::function<void(QEvent*)> event_action)
        : QObject(watched)
        , type(event_type)
        , action(std::move(event_action))
    {
        watched->installEventFilter(this);
    }

    QEvent::Type type;
    std::function<void(QEvent*)> action;
};
