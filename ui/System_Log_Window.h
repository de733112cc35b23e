#pragma once

#include "base/Log_Writer.h"

#include <QMainWindow>

class QAction;
class QPlainTextEdit;

// "System Log": a copy of the current month's log file, reloaded when the window is shown, after
// every new line while it is visible, and after "Clear".
class TForm_Log : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm_Log(Log_Writer& log_writer, QWidget* parent = nullptr);
    ~TForm_Log() override;

    void Reload();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Log_Menu_ClearClick();

    QPlainTextEdit* Memo_Log;
    QAction* Log_Menu_Clear;
    Log_Writer& Writer;
    Log_Writer::Sink_Id Reload_Sink;
};

extern TForm_Log* Form_Log;
