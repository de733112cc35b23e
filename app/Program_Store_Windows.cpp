#include "app/Program.h"
#include "store/Supervision_Timer.h"
// The program still puts the windows together itself, until the station takes its place.
#include "ui/Event_List_Window.h"
#include "ui/Main_Window.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"
#include "ui/Object_List_Window.h"

namespace {

bool Ask_With_Message_Box(
    QWidget* parent, const QString& text, const QString& title, Question_Buttons buttons)
{
    const bool yes_no = buttons == Question_Buttons::Yes_No;
    const Box_Answer answer = Message_Box(
        parent, text, title, yes_no ? Box_Buttons::Yes_No : Box_Buttons::Ok_Cancel, Box_Icon::Question);
    return answer == (yes_no ? Box_Answer::Yes : Box_Answer::Ok);
}

void Bring_Forward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void Program::Create_Store_Windows()
{
    events_window = std::make_unique<TForm_Events>(*events, Ask_With_Message_Box);
    // A child of the program as well, so its timer is found by name; the pointer deletes it first.
    supervision = std::make_unique<Supervision_Timer>(*objects, object_changed, this);
    objects_window = std::make_unique<TForm_Latest_Events>(
        *objects, *supervision, Ask_With_Message_Box, window->windowTitle());
    supervision->Start();
    for (QWidget* list :
        {static_cast<QWidget*>(events_window.get()), static_cast<QWidget*>(objects_window.get())})
        list->setWindowIcon(Program_Icon());

    window->Hooks.Events_Clicked = [this] { Bring_Forward(events_window.get()); };
    window->Hooks.Object_List_Clicked = [this] { Bring_Forward(objects_window.get()); };
    window->Hooks.Hide_Other_Windows = [this] {
        events_window->hide();
        objects_window->hide();
    };
}
