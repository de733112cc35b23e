// The "DC-09 Receiver" page of the main window: receiver port, connection time-out, time
// synchronisation and the AES key.

#include "ui/Main_Window.h"

#include "app/Key_Entry.h"
#include "base/Edit_Values.h"
#include "receiver/DC09_Cipher.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <iterator>

namespace {

// The key is single-byte text: one character is one key byte.
QByteArray Key_Bytes_Of(const QString& text)
{
    return text.toLatin1();
}

} // namespace

QWidget* TMain_Form::Create_Receiver_Page()
{
    auto* page = new QWidget(PageControl_Receiver);
    page->setObjectName(QStringLiteral("TabSheet1"));

    QGroupBox* port = Place_Group(page, QStringLiteral("Receiver Port"), {6, 4, 150, 58});
    CheckBox_DC9_Port_Enable
        = Place_Control<QCheckBox>(port, "CheckBox_DC9_Port_Enable", QStringLiteral("Open"), {10, 16});
    // Checked: the same port number takes UDP datagrams too.
    CheckBox_DC9_Udp = Place_Control<QCheckBox>(port, "CheckBox_DC9_Udp", QStringLiteral("UDP"), {10, 36});
    LabeledEdit_DC9_Port
        = Labeled_Edit(port, "LabeledEdit_DC9_Port", QStringLiteral("Port: "), {66, 24}, 44, 5);

    QGroupBox* connection = Place_Group(page, QStringLiteral("Connection Settings"), {162, 4, 176, 58});
    LabeledEdit_DC9_Conn_Timeout = Labeled_Edit(
        connection, "LabeledEdit_DC9_Conn_Timeout", QStringLiteral("Connection Timeout: "), {10, 24}, 30, 3);
    Caption_After(LabeledEdit_DC9_Conn_Timeout, QStringLiteral("sec."));

    QGroupBox* additional = Place_Group(page, QStringLiteral("Additional Settings"), {344, 4, 141, 58});
    CheckBox_Time_Synch = Place_Control<QCheckBox>(
        additional, "CheckBox_Time_Synch", QStringLiteral("Time Synchronization"), {10, 26});

    QGroupBox* encryption = Place_Group(page, QStringLiteral("Encryption"), {6, 68, 479, 136});
    RadioButton_DC9_AES_Off
        = Place_Control<QRadioButton>(encryption, "RadioButton_DC9_AES_Off", QStringLiteral("Off"), {12, 28});
    RadioButton_DC9_AES_128 = Place_Control<QRadioButton>(
        encryption, "RadioButton_DC9_AES_128", QStringLiteral("AES 128"), {80, 28});
    RadioButton_DC9_AES_192 = Place_Control<QRadioButton>(
        encryption, "RadioButton_DC9_AES_192", QStringLiteral("AES 192"), {165, 28});
    RadioButton_DC9_AES_256 = Place_Control<QRadioButton>(
        encryption, "RadioButton_DC9_AES_256", QStringLiteral("AES 256"), {250, 28});
    LabeledEdit_DC9_Encoding_Key = Labeled_Edit(
        encryption, "LabeledEdit_DC9_Encoding_Key", QStringLiteral("Key: "), {12, 62}, 420, 64);
    LabeledEdit_DC9_Encoding_Key->setEchoMode(QLineEdit::Password);
    // Masked with '*', whatever the platform's password character.
    LabeledEdit_DC9_Encoding_Key->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    QFont bold = LabeledEdit_DC9_Encoding_Key->font();
    bold.setBold(true);
    LabeledEdit_DC9_Encoding_Key->setFont(bold);
    QLabel* format = Place_Label(encryption, QStringLiteral("Key Format:"), {12, 100});
    RadioButton_Aes_Key_Text = Place_Control<QRadioButton>(
        encryption, "RadioButton_Aes_Key_Text", QStringLiteral("Text"), {format->geometry().right() + 8, 99});
    RadioButton_Aes_Key_Hex = Place_Control<QRadioButton>(encryption, "RadioButton_Aes_Key_Hex",
        QStringLiteral("Hex"), {RadioButton_Aes_Key_Text->geometry().right() + 12, 99});
    format->move(format->x(),
        RadioButton_Aes_Key_Text->y() + (RadioButton_Aes_Key_Text->height() - format->height()) / 2);
    RadioButton_Aes_Key_Text->setChecked(true);
    CheckBox_Show_AES_Password
        = Place_Control<QCheckBox>(encryption, "CheckBox_Show_AES_Password", QStringLiteral("Show"), {0, 99});
    CheckBox_Show_AES_Password->move(
        LabeledEdit_DC9_Encoding_Key->geometry().right() + 1 - CheckBox_Show_AES_Password->width(), 99);

    // The mode and the key format are two separate choices inside the same group.
    auto* modes = new QButtonGroup(encryption);
    modes->addButton(RadioButton_DC9_AES_Off, 0);
    modes->addButton(RadioButton_DC9_AES_128, 1);
    modes->addButton(RadioButton_DC9_AES_192, 2);
    modes->addButton(RadioButton_DC9_AES_256, 3);
    connect(modes, &QButtonGroup::idToggled, this, [this](int mode, bool checked) {
        if (checked)
            RadioButton_DC9_AES_Click(static_cast<std::uint8_t>(mode));
    });
    auto* formats = new QButtonGroup(encryption);
    formats->addButton(RadioButton_Aes_Key_Text);
    formats->addButton(RadioButton_Aes_Key_Hex);
    connect(formats, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked)
            RadioButton_Aes_Key_FormatClick();
    });
    return page;
}

// Programmatic changes fire these like the operator's, as the page's refresh relies on: a
// refreshed control stores the value it was just given.
void TMain_Form::Connect_Receiver_Page()
{
    connect(CheckBox_DC9_Port_Enable, &QCheckBox::toggled, this, &TMain_Form::CheckBox_DC9_Port_EnableClick);
    connect(CheckBox_DC9_Udp, &QCheckBox::toggled, this, &TMain_Form::CheckBox_DC9_UdpClick);
    connect(LabeledEdit_DC9_Port, &QLineEdit::textChanged, this, &TMain_Form::LabeledEdit_DC9_PortChange);
    connect(LabeledEdit_DC9_Conn_Timeout, &QLineEdit::textChanged, this,
        &TMain_Form::LabeledEdit_DC9_Conn_TimeoutChange);
    connect(CheckBox_Time_Synch, &QCheckBox::toggled, this, &TMain_Form::CheckBox_Time_SynchClick);
    connect(LabeledEdit_DC9_Encoding_Key, &QLineEdit::textChanged, this,
        &TMain_Form::LabeledEdit_DC9_Encoding_KeyChange);
    connect(
        CheckBox_Show_AES_Password, &QCheckBox::toggled, this, &TMain_Form::CheckBox_Show_AES_PasswordClick);
}

void TMain_Form::CheckBox_DC9_Port_EnableClick()
{
    if (!CheckBox_DC9_Port_Enable->isChecked() && Record.DC9_Port_Enable == 1
        && !Operator_Confirms(this,
            QStringLiteral("Close the receiver port? Communicators cannot report until it is opened again."),
            windowTitle())) {
        const QSignalBlocker quiet(CheckBox_DC9_Port_Enable);
        CheckBox_DC9_Port_Enable->setChecked(true);
        return;
    }
    if (Hooks.Receiver_Enable_Clicked)
        Hooks.Receiver_Enable_Clicked();
    Record.DC9_Port_Enable = CheckBox_DC9_Port_Enable->isChecked() ? 1 : 0;
    Refresh_ReceiverExecute();
}

void TMain_Form::CheckBox_DC9_UdpClick()
{
    Record.DC9_Udp_Off = CheckBox_DC9_Udp->isChecked() ? 0 : 1;
    Check_Settings_Changed();
}

void TMain_Form::LabeledEdit_DC9_PortChange()
{
    if (const auto value = Decimal_Value(LabeledEdit_DC9_Port->text().toStdString()))
        Record.DC9_Port = *value;
    Check_Settings_Changed();
}

void TMain_Form::LabeledEdit_DC9_Conn_TimeoutChange()
{
    if (const auto value = Decimal_Value(LabeledEdit_DC9_Conn_Timeout->text().toStdString()))
        Record.DC9_Conn_Timeout = *value;
    Check_Settings_Changed();
}

void TMain_Form::CheckBox_Time_SynchClick()
{
    Record.Time_Synch = CheckBox_Time_Synch->isChecked() ? 1 : 0;
    Refresh_ReceiverExecute();
}

void TMain_Form::RadioButton_DC9_AES_Click(std::uint8_t mode)
{
    Record.DC9_AES_Mode = mode;
    Refresh_ReceiverExecute();
}

void TMain_Form::RadioButton_Aes_Key_FormatClick()
{
    Refresh_ReceiverExecute();
}

void TMain_Form::LabeledEdit_DC9_Encoding_KeyChange()
{
    const std::size_t key_length = DC09_Key_Length(Record.DC9_AES_Mode);
    const QString text = LabeledEdit_DC9_Encoding_Key->text();
    const QByteArray bytes = Key_Bytes_Of(text);
    if (!RadioButton_Aes_Key_Hex->isChecked()) {
        Key_From_Text(Record.DC9_Encoding_Key, {bytes.constData(), static_cast<std::size_t>(bytes.size())});
    } else {
        // The digits in the edit are the whole key: a key typed over a longer one keeps nothing of it.
        std::fill(std::begin(Record.DC9_Encoding_Key), std::end(Record.DC9_Encoding_Key), std::uint8_t {0});
        const std::size_t taken = Key_From_Hex(
            Record.DC9_Encoding_Key, {bytes.constData(), static_cast<std::size_t>(bytes.size())}, key_length);
        if (taken < static_cast<std::size_t>(bytes.size())) {
            // Cutting the text runs this handler again on the digits that were accepted.
            const int cut = static_cast<int>(taken);
            LabeledEdit_DC9_Encoding_Key->setText(text.left(cut));
            LabeledEdit_DC9_Encoding_Key->setCursorPosition(cut);
            System_Beep();
            return;
        }
    }
    Check_Settings_Changed();
}

void TMain_Form::CheckBox_Show_AES_PasswordClick()
{
    const bool shown = CheckBox_Show_AES_Password->isChecked();
    LabeledEdit_DC9_Encoding_Key->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    QFont font = LabeledEdit_DC9_Encoding_Key->font();
    font.setBold(!shown);
    LabeledEdit_DC9_Encoding_Key->setFont(font);
}

void TMain_Form::Show_Key()
{
    switch (Record.DC9_AES_Mode) {
    case 0:
        RadioButton_DC9_AES_Off->setChecked(true);
        break;
    case 1:
        RadioButton_DC9_AES_128->setChecked(true);
        break;
    case 2:
        RadioButton_DC9_AES_192->setChecked(true);
        break;
    case 3:
        RadioButton_DC9_AES_256->setChecked(true);
        break;
    default:
        break;
    }
    const std::size_t key_length = DC09_Key_Length(Record.DC9_AES_Mode);
    if (!RadioButton_Aes_Key_Hex->isChecked() && !Key_Shows_As_Text(Record.DC9_Encoding_Key, key_length)) {
        // Text would show the key only up to its first zero byte: a key the operator could take for
        // the one in force, and save. Hex shows every byte. Quietly, as this is the refresh itself.
        const QSignalBlocker quiet_group(RadioButton_Aes_Key_Hex->group());
        const QSignalBlocker quiet_text(RadioButton_Aes_Key_Text);
        const QSignalBlocker quiet_hex(RadioButton_Aes_Key_Hex);
        RadioButton_Aes_Key_Hex->setChecked(true);
    }
    const bool hex = RadioButton_Aes_Key_Hex->isChecked();
    const std::string shown = Key_Display_Text(Record.DC9_Encoding_Key, key_length, hex);
    const int max_length = static_cast<int>(hex ? 2 * key_length : key_length);

    // A shorter maximum would cut the text behind the key entry's back, and in the other format at
    // that; the limit is therefore lifted before the new text goes in and set again after it.
    QLineEdit* edit = LabeledEdit_DC9_Encoding_Key;
    {
        const QSignalBlocker quiet(edit);
        edit->setMaxLength(64);
    }
    // Not while the operator types in it. Showing the key never changes it: only typing does, so
    // the replacement does not run the key entry.
    const QSignalBlocker quiet(edit);
    if (!edit->hasFocus())
        edit->setText(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
    edit->setMaxLength(max_length);
}

void TMain_Form::Refresh_ReceiverExecute()
{
    LabeledEdit_DC9_Port->setText(QString::number(Record.DC9_Port));
    LabeledEdit_DC9_Conn_Timeout->setText(QString::number(Record.DC9_Conn_Timeout));
    CheckBox_DC9_Port_Enable->setChecked(Record.DC9_Port_Enable == 1);
    CheckBox_DC9_Udp->setChecked(Record.DC9_Udp_Off == 0);
    Show_Key();
    CheckBox_Time_Synch->setChecked(Record.Time_Synch == 1);

    // The port's own settings are fixed while it is open. The key is not: the receiver answers
    // every message with the key in the settings, which is the key shown, so it can change while
    // communicators report, and saving it keeps the port open.
    const bool editable = Record.DC9_Port_Enable != 1;
    QWidget* const controls[]
        = {LabeledEdit_DC9_Port, CheckBox_DC9_Udp, LabeledEdit_DC9_Conn_Timeout, CheckBox_Time_Synch};
    for (QWidget* control : controls)
        Set_Usable(control, editable);
    Check_Settings_Changed();
}
