#pragma once

#include "ui/List_Window.h"

class Event_List_Model;
class Event_Store;

// "Event List": every stored event with its status towards the automation software, and the one
// way to erase the store. Created hidden at start-up; hidden, it ignores refresh requests.
class TForm_Events : public List_Window
{
    Q_OBJECT
public:
    TForm_Events(Event_Store& store, Ask_Operator ask, QWidget* parent = nullptr);

    void Refresh_Log_GridExecute();

private:
    int Refresh_Model() override;
    void Clear1Click();

    Event_Store& store;
    Event_List_Model* model;
};
