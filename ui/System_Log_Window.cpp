#include "ui/System_Log_Window.h"

#include "ui/Message_Box.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>

TForm_Log* Form_Log = nullptr;

TForm_Log::TForm_Log(Log_Writer& log_writer, QWidget* parent)
    : QMainWindow(parent)
    , Writer(log_writer)
{
    setObjectName(QStringLiteral("Form_Log"));
    setWindowTitle(QStringLiteral("System Log"));
    // A secondary window closing while the main window is in the notification area must not end
    // the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 420);

    Memo_Log = new QPlainTextEdit(this);
    Memo_Log->setObjectName(QStringLiteral("Memo_Log"));
    Memo_Log->setReadOnly(true);
    Memo_Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(Memo_Log);

    Log_Menu_Clear = menuBar()->addAction(QStringLiteral("&Clear"));
    Log_Menu_Clear->setObjectName(QStringLiteral("Log_Menu_Clear"));
    connect(Log_Menu_Clear, &QAction::triggered, this, &TForm_Log::Log_Menu_ClearClick);

    Reload_Sink = Writer.Attach_Sink([this](const std::string&, Log_Colour) {
        if (isVisible())
            Reload();
    });
    Form_Log = this;
}

TForm_Log::~TForm_Log()
{
    Writer.Detach_Sink(Reload_Sink);
    if (Form_Log == this)
        Form_Log = nullptr;
}

void TForm_Log::Reload()
{
    const std::string& path = Writer.Current_Log_File();
    QFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    QString text;
    if (!path.empty() && file.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(file.readAll());
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    Memo_Log->setPlainText(text);
    Memo_Log->moveCursor(QTextCursor::End);
}

void TForm_Log::Log_Menu_ClearClick()
{
    if (!Ask_Before_Destroying(this, QStringLiteral("     Are you sure you want to delete log records?"),
            QStringLiteral("Clear Log Records"), Question_Buttons::Ok_Cancel))
        return;
    Writer.Clear_Current_Log_File();
    Reload();
}

void TForm_Log::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    Reload();
}
