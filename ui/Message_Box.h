#pragma once

#include "ui/Operator_Question.h"

#include <QString>
#include <functional>

class QWidget;

enum class Box_Buttons { Ok, Ok_Cancel, Yes_No };
enum class Box_Icon { None, Information, Question, Warning, Error };
enum class Box_Answer { Ok, Cancel, Yes, No };

struct Message_Box_Request
{
    QString Text;
    QString Title;
    Box_Buttons Buttons;
    Box_Icon Icon;
    Box_Answer Default_Answer;
};

// A modal message box. Without a real display (the "offscreen" or "minimal" platform) nothing can
// answer it, so the text goes to standard error and the default answer comes back at once. The
// default answer is the first button unless the caller names another, as on the platforms whose
// boxes a plain Enter answers with the first button.
Box_Answer Message_Box(QWidget* parent, const QString& text, const QString& title,
    Box_Buttons buttons = Box_Buttons::Ok, Box_Icon icon = Box_Icon::None);
Box_Answer Message_Box(QWidget* parent, const QString& text, const QString& title, Box_Buttons buttons,
    Box_Icon icon, Box_Answer default_answer);

// The list windows' questions, each about destroying something: a question box whose default (the
// answer to a plain Enter) is No or Cancel. True for OK or Yes.
bool Ask_Before_Destroying(
    QWidget* parent, const QString& text, const QString& title, Question_Buttons buttons);

// Whether someone can answer a box: a real display, or a test hook answering for the operator. With
// neither (the "offscreen" or "minimal" platform, a service) the questions that only guard against
// a slip of the hand are not asked at all and the action goes ahead as asked.
bool Operator_Can_Answer();
bool Has_Real_Display();
// Such a question, with No as the default: true when it need not be asked or was answered Yes.
bool Operator_Confirms(QWidget* parent, const QString& text, const QString& title);

// Test hooks. A hook answers every box in place of the operator until it is reset; a next answer
// answers only the next box and takes precedence over the hook.
using Message_Box_Hook = std::function<Box_Answer(const Message_Box_Request&)>;
void Set_Message_Box_Hook(Message_Box_Hook hook);
void Set_Next_Message_Box_Answer(Box_Answer answer);
// The last request seen, with its text and title, and how many boxes were asked so far.
Message_Box_Request Last_Message_Box();
int Message_Box_Count();

// The system beep, counted so tests can see that one sounded.
void System_Beep();
int System_Beep_Count();
