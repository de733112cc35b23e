#include "ui/Serial_Settings_Dialog.h"

#include "base/Edit_Values.h"
#include "base/Settings_Record.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const char* const Baud_Rates[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};

template<typename Control> Control* Named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

// The framing the serial port always opens with; nothing can change it, so it is only shown.
QLineEdit* Fixed_Value(QWidget* parent, const char* name, const char* value)
{
    auto* edit = Named(new QLineEdit(QLatin1String(value), parent), name);
    edit->setReadOnly(true);
    return edit;
}

} // namespace

TForm_Com_Settings::TForm_Com_Settings(
    Settings_Record& settings, std::function<void()> settings_changed, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
    , Record(settings)
    , Settings_Changed(std::move(settings_changed))
{
    setObjectName(QStringLiteral("Form_Com_Settings"));
    setWindowTitle(QStringLiteral("Serial Port Settings"));
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    Label_COM_Baud = Named(new QLabel(QStringLiteral("Baud Rate :"), this), "Label_COM_Baud");
    ComboBox_COM_Baud = Named(new QComboBox(this), "ComboBox_COM_Baud");
    ComboBox_COM_Baud->setEditable(true);
    ComboBox_COM_Baud->setInsertPolicy(QComboBox::NoInsert);
    Label_Data_Bits = Named(new QLabel(QStringLiteral("Data Bits :"), this), "Label_Data_Bits");
    Edit_Data_Bits = Fixed_Value(this, "Edit_Data_Bits", "8");
    Label_Stop_Bits = Named(new QLabel(QStringLiteral("Stop Bits :"), this), "Label_Stop_Bits");
    Edit_Stop_Bits = Fixed_Value(this, "Edit_Stop_Bits", "1");
    Label_Parity = Named(new QLabel(QStringLiteral("Parity :"), this), "Label_Parity");
    Edit_Parity = Fixed_Value(this, "Edit_Parity", "None");
    Label_Flow_Control = Named(new QLabel(QStringLiteral("Flow Control :"), this), "Label_Flow_Control");
    Edit_Flow_Control = Fixed_Value(this, "Edit_Flow_Control", "None");
    Button1 = Named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setDefault(true);

    auto* grid = new QGridLayout(this);
    const std::pair<QLabel*, QWidget*> rows[] = {{Label_COM_Baud, ComboBox_COM_Baud},
        {Label_Data_Bits, Edit_Data_Bits}, {Label_Stop_Bits, Edit_Stop_Bits}, {Label_Parity, Edit_Parity},
        {Label_Flow_Control, Edit_Flow_Control}};
    int row = 0;
    for (const auto& [label, field] : rows) {
        label->setBuddy(field);
        field->setFixedWidth(100);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(field, row, 1);
        ++row;
    }
    grid->addWidget(Button1, row, 0, 1, 2, Qt::AlignHCenter);
    // A fixed single border: the dialog takes the size of its controls and cannot be resized.
    grid->setSizeConstraint(QLayout::SetFixedSize);

    Refresh_Baud_Rate(true);
    connect(ComboBox_COM_Baud, &QComboBox::currentTextChanged, this,
        &TForm_Com_Settings::ComboBox_COM_BaudChange);
    connect(Button1, &QPushButton::clicked, this, &TForm_Com_Settings::Button1Click);
}

void TForm_Com_Settings::Refresh_Baud_Rate(bool transport_closed)
{
    // Showing the stored value is no edit of it.
    const QSignalBlocker quiet(ComboBox_COM_Baud);
    ComboBox_COM_Baud->clear();
    for (const char* rate : Baud_Rates)
        ComboBox_COM_Baud->addItem(QLatin1String(rate));
    const QString rate = QString::number(Record.COM_Baud);
    const int listed = ComboBox_COM_Baud->findText(rate);
    if (listed >= 0)
        ComboBox_COM_Baud->setCurrentIndex(listed);
    else
        ComboBox_COM_Baud->setEditText(rate);
    ComboBox_COM_Baud->setEnabled(transport_closed);
}

void TForm_Com_Settings::ComboBox_COM_BaudChange()
{
    if (const auto value = Decimal_Value(ComboBox_COM_Baud->currentText().toStdString()))
        Record.COM_Baud = *value;
    if (Settings_Changed)
        Settings_Changed();
}

void TForm_Com_Settings::Button1Click()
{
    close();
}
