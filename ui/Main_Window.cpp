#include "ui/Main_Window.h"

#include "base/Settings_File.h"
#include "ui/Data_Log_Window.h"
#include "ui/Event_Hook.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"
#include "ui/System_Log_Window.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTextEdit>

namespace {

constexpr int Client_Width = 515;
constexpr int Client_Height = 472;
constexpr int Status_Bar_Height = 20;

// The layout is made for a small dialog font of about six pixels per character; a wider face is
// condensed to that, so captions keep to their places whatever the platform's font.
QFont Form_Font(QFont font)
{
    font.setPixelSize(11);
    QFont bold = font;
    bold.setBold(true);
    const QString sample = QStringLiteral("Automation Software Interface");
    if (QFontMetrics(bold).horizontalAdvance(sample) > 6 * sample.size())
        font.setStretch(QFont::SemiCondensed);
    return font;
}

void Bring_Forward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void Run(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

} // namespace

TMain_Form::TMain_Form(
    Settings_Record& settings, std::string settings_path, Log_Writer& log_writer, QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , Record(settings)
    , Settings_Path(std::move(settings_path))
    , Writer(log_writer)
{
    setObjectName(QStringLiteral("Main_Form"));
    setWindowTitle(QStringLiteral("Varnek SIA-IP Receiver"));
    setWindowIcon(Program_Icon());
    setFont(Form_Font(font()));

    Create_Menu_Bar();
    Create_Pages();
    Create_Log_View();
    Create_Status_Bar();
    Create_Tray_Icon();

    Log_Window = std::make_unique<TForm_Log>(Writer);
    Log_Window->setWindowIcon(Program_Icon());
    Data_Log_Window = std::make_unique<TForm_Log_Test>();
    Data_Log_Window->setWindowIcon(Program_Icon());
    connect(Data_Log_Window.get(), &TForm_Log_Test::Collecting_Changed, this,
        &TMain_Form::Data_Log_Collecting_Changed);

    // The default size is the least; a larger window gives the log view the room.
    resize(Client_Width, menuBar()->sizeHint().height() + Client_Height);
    setMinimumSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    View_Sink = Writer.Attach_Sink(
        [this](const std::string& line, Log_Colour colour) { Add_Log_Line(line, colour); });
}

TMain_Form::~TMain_Form()
{
    Writer.Detach_Sink(View_Sink);
}

void TMain_Form::Create_Menu_Bar()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto add = [bar](const char* name, const QString& caption) {
        QAction* action = bar->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QAction* Meniu_Events = add("Meniu_Events", QStringLiteral("&Events"));
    QAction* ViewSystemLogs1 = add("ViewSystemLogs1", QStringLiteral("&System Log"));
    QAction* VirtualPortsTool1 = add("VirtualPortsTool1", QStringLiteral("&Virtual Serial Ports"));
    Meniu_Log = add("Meniu_Log", QStringLiteral("Data &Log"));
    Meniu_Log->setVisible(false);
    bar->addSeparator();
    QAction* ObjectList1 = add("ObjectList1", QStringLiteral("    &Object List"));
    QFont bold = ObjectList1->font();
    bold.setBold(true);
    ObjectList1->setFont(bold);
    ObjectList1->setToolTip(QStringLiteral("Object List"));
    QAction* Accounts1 = add("Accounts1", QStringLiteral("&Accounts"));
    // The default item is drawn bold; a menu bar ignores the font of its actions.
    auto* style = new Default_Menu_Item_Style(ObjectList1->text());
    style->setParent(this);
    bar->setStyle(style);

    connect(Meniu_Events, &QAction::triggered, this, [this] { Run(Hooks.Events_Clicked); });
    connect(ViewSystemLogs1, &QAction::triggered, this, &TMain_Form::ViewSystemLogs1Click);
    connect(VirtualPortsTool1, &QAction::triggered, this, [this] { Run(Hooks.Virtual_Ports_Clicked); });
    connect(Meniu_Log, &QAction::triggered, this, &TMain_Form::Meniu_LogClick);
    connect(ObjectList1, &QAction::triggered, this, [this] { Run(Hooks.Object_List_Clicked); });
    connect(Accounts1, &QAction::triggered, this, [this] { Run(Hooks.Accounts_Clicked); });
}

void TMain_Form::Create_Pages()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client_Area"));
    setCentralWidget(client);

    PageControl_Receiver = new Navy_Tab_Widget(client);
    PageControl_Receiver->setObjectName(QStringLiteral("PageControl_Receiver"));
    PageControl_Receiver->setGeometry(9, 12, 497, 233);
    TabSheet1 = Create_Receiver_Page();
    TabSheet_Mon_Software = Create_Mon_Software_Page();
    PageControl_Receiver->addTab(TabSheet1, Navy_Tab_Bar::Tab_Caption(0));
    PageControl_Receiver->addTab(TabSheet_Mon_Software, Navy_Tab_Bar::Tab_Caption(1));
    PageControl_Receiver->setCurrentIndex(0);
    // A page refreshes itself from the settings whenever it becomes visible: on a tab change and
    // whenever the window is shown.
    Event_Hook::Install(TabSheet1, QEvent::Show, [this](QEvent*) { Refresh_ReceiverExecute(); });
    Event_Hook::Install(TabSheet_Mon_Software, QEvent::Show, [this](QEvent*) {
        Refresh_Mon_OutExecute();
        Run(Hooks.Com_Ports_Available);
    });
    Connect_Receiver_Page();
    Connect_Mon_Software_Page();

    // These two sit at the right end of the tab row, over the tab control.
    CheckBox_Start_In_Background = new QCheckBox(QStringLiteral("Start in background mode"), client);
    CheckBox_Start_In_Background->setObjectName(QStringLiteral("CheckBox_Start_In_Background"));
    CheckBox_Start_In_Background->resize(CheckBox_Start_In_Background->sizeHint());
    CheckBox_Start_In_Background->setMouseTracking(true);
    Event_Hook::Install(CheckBox_Start_In_Background, QEvent::MouseMove,
        [this](QEvent*) { CheckBox_Start_In_BackgroundMouseMove(); });
    connect(CheckBox_Start_In_Background, &QCheckBox::toggled, this,
        &TMain_Form::CheckBox_Start_In_BackgroundClick);

    BitBtn_Save = new QPushButton(client);
    BitBtn_Save->setObjectName(QStringLiteral("BitBtn_Save"));
    BitBtn_Save->setGeometry(476, 4, 30, 30);
    BitBtn_Save->setIcon(Save_Glyph());
    BitBtn_Save->setIconSize(QSize(24, 24));
    BitBtn_Save->setToolTip(QStringLiteral("Save current settings"));
    BitBtn_Save->setEnabled(false);
    connect(BitBtn_Save, &QPushButton::clicked, this, &TMain_Form::BitBtn_SaveClick);

    const int tab_row_height = PageControl_Receiver->tabBar()->sizeHint().height();
    CheckBox_Start_In_Background->move(BitBtn_Save->x() - 8 - CheckBox_Start_In_Background->width(),
        PageControl_Receiver->y() + (tab_row_height - CheckBox_Start_In_Background->height()) / 2);
}

void TMain_Form::Create_Log_View()
{
    RichEdit_Log = new QTextEdit(centralWidget());
    RichEdit_Log->setObjectName(QStringLiteral("RichEdit_Log"));
    RichEdit_Log->setGeometry(9, 251, 497, 191);
    RichEdit_Log->setReadOnly(true);
    RichEdit_Log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit_Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit_Log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Read-only, yet it sees every key typed while it has the focus: that is how the Data Log is
    // unlocked.
    Event_Hook::Install(RichEdit_Log, QEvent::KeyPress,
        [this](QEvent* event) { RichEdit_LogKeyPress(static_cast<QKeyEvent*>(event)->text()); });
}

void TMain_Form::Create_Status_Bar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(Status_Bar_Height);
    Status_Panel_0 = new QLabel(QStringLiteral("Receiver port closed."), bar);
    Status_Panel_0->setObjectName(QStringLiteral("StatusBar1_Panel_0"));
    Status_Panel_0->setFixedWidth(250);
    Status_Panel_1 = new QLabel(bar);
    Status_Panel_1->setObjectName(QStringLiteral("StatusBar1_Panel_1"));
    Status_Panel_1->setMinimumWidth(95);
    for (QLabel* panel : {Status_Panel_0, Status_Panel_1})
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(Status_Panel_0);
    // The last panel takes the rest of the bar.
    bar->addWidget(Status_Panel_1, 1);
}

bool TMain_Form::Check_Settings_Changed()
{
    const bool differs = Settings_Differ_From_File(Settings_Path, Record);
    BitBtn_Save->setEnabled(differs);
    return differs;
}

void TMain_Form::BitBtn_SaveClick()
{
    if (Message_Box(this, QStringLiteral("Save current settings?"), windowTitle(), Box_Buttons::Yes_No,
            Box_Icon::Question)
        != Box_Answer::Yes)
        return;
    Save_Settings(Settings_Path, Record);
    Check_Settings_Changed();
}

void TMain_Form::CheckBox_Start_In_BackgroundClick()
{
    Record.Start_In_Background = CheckBox_Start_In_Background->isChecked() ? 1 : 0;
    Check_Settings_Changed();
}

void TMain_Form::CheckBox_Start_In_BackgroundMouseMove()
{
    CheckBox_Start_In_Background->setToolTip(CheckBox_Start_In_Background->isChecked()
            ? QStringLiteral("The application will start in background mode")
            : QStringLiteral("The application will start in windowed mode"));
}

void TMain_Form::Set_Start_In_Background_Box(bool checked)
{
    const QSignalBlocker quiet(CheckBox_Start_In_Background);
    CheckBox_Start_In_Background->setChecked(checked);
}

void TMain_Form::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const QSize grown = size() - minimumSize();
    RichEdit_Log->setGeometry(9, 251, 497 + grown.width(), 191 + grown.height());
}

void TMain_Form::Set_Receiver_Status(const QString& text)
{
    Status_Panel_0->setText(text);
}

void TMain_Form::Set_Out_Status(const QString& text)
{
    Status_Panel_1->setText(text);
}

bool TMain_Form::Data_Log_Visible() const
{
    return Data_Log_Window->Collecting();
}

bool TMain_Form::Data_Log_Maybe_Visible() const
{
    return Data_Log_Window->Maybe_Collecting();
}

void TMain_Form::Data_Log_Add(const QString& line)
{
    Data_Log_Window->Add_Line(line);
}

void TMain_Form::Add_Log_Line(const std::string& line, Log_Colour colour)
{
    QTextDocument* document = RichEdit_Log->document();
    const bool first = document->isEmpty();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::Start);
    QTextCharFormat format;
    format.setForeground(QColor::fromRgb(Log_Colour_To_Rgb(colour)));
    cursor.insertText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())), format);
    if (!first)
        cursor.insertBlock(QTextBlockFormat(), format);
    Drop_Oldest_Log_Lines(document);
    RichEdit_Log->moveCursor(QTextCursor::Start);
    RichEdit_Log->verticalScrollBar()->setValue(0);
}

// The program runs for months: the view keeps the newest lines, the monthly file keeps them all.
// The newest line is at the top, so the oldest ones are cut from the bottom.
void TMain_Form::Drop_Oldest_Log_Lines(QTextDocument* document)
{
    if (document->blockCount() <= Log_View_Max_Lines)
        return;
    const QTextBlock last_kept = document->findBlockByNumber(Log_View_Max_Lines - 1);
    QTextCursor tail(document);
    tail.setPosition(last_kept.position() + last_kept.length() - 1);
    tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    tail.removeSelectedText();
}

void TMain_Form::RichEdit_LogKeyPress(const QString& typed)
{
    for (const QChar key : typed) {
        if (Key_Ring.Feed(static_cast<char>(key.unicode() & 0xFF)) && !Meniu_Log->isVisible()) {
            Meniu_Log->setVisible(true);
            System_Beep();
        }
    }
}

void TMain_Form::Meniu_LogClick()
{
    if (!Data_Log_Window->isVisible())
        Data_Log_Window->move(frameGeometry().center() - Data_Log_Window->rect().center());
    Bring_Forward(Data_Log_Window.get());
}

void TMain_Form::ViewSystemLogs1Click()
{
    Bring_Forward(Log_Window.get());
}
