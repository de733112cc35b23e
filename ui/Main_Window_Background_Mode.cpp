#include "ui/Main_Window.h"

#include "base/Settings_File.h"
#include "output/Output_Transport.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"
#include "ui/System_Log_Window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QSystemTrayIcon>

#include <cstdio>

// Background mode: the window hidden behind the notification-area icon, and the close that leads
// there unless "Exit" was chosen.

void TMain_Form::Create_Tray_Icon()
{
    auto* PopupMenu_Tray = new QMenu(this);
    PopupMenu_Tray->setObjectName(QStringLiteral("PopupMenu_Tray"));
    QAction* OpenSIAIPReceiver1 = PopupMenu_Tray->addAction(QStringLiteral("&Open SIA-IP Receiver"));
    OpenSIAIPReceiver1->setObjectName(QStringLiteral("OpenSIAIPReceiver1"));
    PopupMenu_Tray->addSeparator();
    QAction* Pop_Exit = PopupMenu_Tray->addAction(QStringLiteral("E&xit"));
    Pop_Exit->setObjectName(QStringLiteral("Pop_Exit"));
    connect(OpenSIAIPReceiver1, &QAction::triggered, this, &TMain_Form::TrayIcon1Click);
    connect(Pop_Exit, &QAction::triggered, this, &TMain_Form::Pop_ExitClick);

    TrayIcon1 = new QSystemTrayIcon(Program_Icon(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(windowTitle());
    TrayIcon1->setContextMenu(PopupMenu_Tray);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            TrayIcon1Click();
    });

    System_Tray_Available = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this, PopupMenu_Tray](const QPoint& at) {
        if (!System_Tray_Available())
            PopupMenu_Tray->popup(mapToGlobal(at));
    });
}

void TMain_Form::Enter_Background_Mode()
{
    const QString title = QStringLiteral("SIA-IP Receiver notification");
    const QString text = QStringLiteral("The application is running in background mode");
    if (!System_Tray_Available()) {
        // A hidden window with no icon to bring it back could only be ended from outside; the
        // notice goes to the console (a service, a head-less receiver: the journal).
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        showMinimized();
        return;
    }
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    TrayIcon1->show();
    TrayIcon1->showMessage(title, text, QSystemTrayIcon::Information, 5000);
}

void TMain_Form::Show_Tray_State(const QIcon& icon, const QString& tooltip)
{
    TrayIcon1->setIcon(icon);
    TrayIcon1->setToolTip(tooltip);
}

void TMain_Form::Show_Fault_Balloon(const QString& text)
{
    if (TrayIcon1->isVisible())
        TrayIcon1->showMessage(windowTitle(), text, QSystemTrayIcon::Warning, 10000);
}

void TMain_Form::TrayIcon1Click()
{
    TrayIcon1->hide();
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TMain_Form::Pop_ExitClick()
{
    const bool working = Record.DC9_Port_Enable == 1 || Transport_Of(Record) != Output_Transport::Closed;
    if (working
        && !Operator_Confirms(
            this, QStringLiteral("Exit? Alarms are no longer received or forwarded."), windowTitle()))
        return;
    Exit_Was_Requested = true;
    close();
}

void TMain_Form::closeEvent(QCloseEvent* event)
{
    if (Ended) {
        event->accept();
        return;
    }
    Log_Window->hide();
    if (Hooks.Hide_Other_Windows)
        Hooks.Hide_Other_Windows();
    if (Check_Settings_Changed()
        && Message_Box(this, QStringLiteral("Save current settings?"), windowTitle(), Box_Buttons::Yes_No,
               Box_Icon::Question)
            == Box_Answer::Yes) {
        Save_Settings(Settings_Path, Record);
        Check_Settings_Changed();
    }
    if (!Exit_Was_Requested) {
        event->ignore();
        Enter_Background_Mode();
        return;
    }
    Ended = true;
    TrayIcon1->hide();
    event->accept();
    // Ending is the program's business: it stops its parts and leaves the event loop.
    if (Hooks.Program_End)
        Hooks.Program_End();
}
