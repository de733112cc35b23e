#include "ui/Message_Box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <atomic>
#include <cstdio>
#include <optional>

namespace {

Message_Box_Hook Box_Hook;
std::optional<Box_Answer> Next_Answer;
Message_Box_Request Last_Request {{}, {}, Box_Buttons::Ok, Box_Icon::None, Box_Answer::Ok};
int Box_Count = 0;
std::atomic<int> Beep_Count {0};

Box_Answer First_Button(Box_Buttons buttons)
{
    switch (buttons) {
    case Box_Buttons::Ok_Cancel:
        return Box_Answer::Ok;
    case Box_Buttons::Yes_No:
        return Box_Answer::Yes;
    case Box_Buttons::Ok:
        break;
    }
    return Box_Answer::Ok;
}

QMessageBox::StandardButton To_Button(Box_Answer answer)
{
    switch (answer) {
    case Box_Answer::Cancel:
        return QMessageBox::Cancel;
    case Box_Answer::Yes:
        return QMessageBox::Yes;
    case Box_Answer::No:
        return QMessageBox::No;
    case Box_Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon To_Icon(Box_Icon icon)
{
    switch (icon) {
    case Box_Icon::Information:
        return QMessageBox::Information;
    case Box_Icon::Question:
        return QMessageBox::Question;
    case Box_Icon::Warning:
        return QMessageBox::Warning;
    case Box_Icon::Error:
        return QMessageBox::Critical;
    case Box_Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

Box_Answer Run_Modal_Box(QWidget* parent, const Message_Box_Request& request)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.Buttons == Box_Buttons::Ok_Cancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (request.Buttons == Box_Buttons::Yes_No)
        buttons = QMessageBox::Yes | QMessageBox::No;
    QMessageBox box(To_Icon(request.Icon), request.Title, request.Text, buttons, parent);
    box.setDefaultButton(To_Button(request.Default_Answer));
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return Box_Answer::Cancel;
    case QMessageBox::Yes:
        return Box_Answer::Yes;
    case QMessageBox::No:
        return Box_Answer::No;
    case QMessageBox::Ok:
        return Box_Answer::Ok;
    default:
        // Closing the box with Escape or its close button is the negative answer.
        return request.Buttons == Box_Buttons::Yes_No   ? Box_Answer::No
            : request.Buttons == Box_Buttons::Ok_Cancel ? Box_Answer::Cancel
                                                        : Box_Answer::Ok;
    }
}

} // namespace

bool Has_Real_Display()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

bool Operator_Can_Answer()
{
    return Has_Real_Display() || Box_Hook || Next_Answer;
}

bool Operator_Confirms(QWidget* parent, const QString& text, const QString& title)
{
    return !Operator_Can_Answer()
        || Message_Box(parent, text, title, Box_Buttons::Yes_No, Box_Icon::Question, Box_Answer::No)
        == Box_Answer::Yes;
}

bool Ask_Before_Destroying(
    QWidget* parent, const QString& text, const QString& title, Question_Buttons buttons)
{
    const bool yes_no = buttons == Question_Buttons::Yes_No;
    const Box_Answer yes = yes_no ? Box_Answer::Yes : Box_Answer::Ok;
    const Box_Answer no = yes_no ? Box_Answer::No : Box_Answer::Cancel;
    return Message_Box(parent, text, title, yes_no ? Box_Buttons::Yes_No : Box_Buttons::Ok_Cancel,
               Box_Icon::Question, no)
        == yes;
}

Box_Answer Message_Box(
    QWidget* parent, const QString& text, const QString& title, Box_Buttons buttons, Box_Icon icon)
{
    return Message_Box(parent, text, title, buttons, icon, First_Button(buttons));
}

Box_Answer Message_Box(QWidget* parent, const QString& text, const QString& title, Box_Buttons buttons,
    Box_Icon icon, Box_Answer default_answer)
{
    const Message_Box_Request request {text, title, buttons, icon, default_answer};
    Last_Request = request;
    ++Box_Count;
    if (Next_Answer) {
        const Box_Answer answer = *Next_Answer;
        Next_Answer.reset();
        return answer;
    }
    if (Box_Hook)
        return Box_Hook(request);
    if (!Has_Real_Display()) {
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        return default_answer;
    }
    return Run_Modal_Box(parent, request);
}

void Set_Message_Box_Hook(Message_Box_Hook hook)
{
    Box_Hook = std::move(hook);
}

void Set_Next_Message_Box_Answer(Box_Answer answer)
{
    Next_Answer = answer;
}

Message_Box_Request Last_Message_Box()
{
    return Last_Request;
}

int Message_Box_Count()
{
    return Box_Count;
}

void System_Beep()
{
    ++Beep_Count;
    QApplication::beep();
}

int System_Beep_Count()
{
    return Beep_Count;
}
