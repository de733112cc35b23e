#pragma once

#include <QString>

#include <functional>

class QWidget;

// How a list window asks the operator to confirm: a question box with OK and Cancel, or with Yes
// and No. True for OK or Yes. The program hands in its message box, so the list windows can be
// driven by a test that answers for the operator.
enum class Question_Buttons { Ok_Cancel, Yes_No };
using Ask_Operator = std::function<bool(
    QWidget* parent, const QString& text, const QString& title, Question_Buttons buttons)>;
