#pragma once

#include <QIcon>
#include <QString>

class Event_Store;
class Object_Table;

// What the notification-area icon tells at a glance and its tooltip in words: receiving and
// forwarding, a fault, or the receiver closed, with the events waiting for the automation
// software and the objects that failed.
struct Tray_State
{
    enum class Look { Working, Fault, Receiver_Closed };

    bool Receiver_Enabled = false; // the receiver's "Open" box
    bool Receiver_Listening = false;
    bool Output_Enabled = false; // either output "Open" box
    bool Output_Up = false; // the automation software link is up
    int Pending_Events = 0;
    int Failed_Objects = 0;
    // The event ring is full of alarms not yet reported: new alarms are not acknowledged.
    bool Store_Full = false;

    Look Shown_Look() const;
    // The faults, in words, separated by "; "; empty without any. Failed objects may be left out:
    // each failure has its own balloon already.
    QString Fault_Text(bool with_failed_objects = true) const;
    QString Tooltip(const QString& caption) const;
};

// Counted on the window thread, which may read the stores directly.
int Count_Pending_Events(const Event_Store& events);
int Count_Failed_Objects(const Object_Table& objects);

// A distinct look per state: the program icon with a green, red or grey mark.
QIcon Tray_Icon(Tray_State::Look look);
