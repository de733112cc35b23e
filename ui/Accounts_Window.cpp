#include "ui/Accounts_Window.h"

#include "app/Key_Entry.h"
#include "receiver/Account_File.h"
#include "receiver/DC09_Cipher.h"
#include "ui/Accounts_Model.h"
#include "ui/Message_Box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

#include <cstring>

namespace {

template<typename Control> Control* Named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

constexpr Account_Mode Modes[] = {Account_Mode::Clear, Account_Mode::Aes128, Account_Mode::Aes192,
    Account_Mode::Aes256, Account_Mode::Refuse};

QString Title()
{
    return QStringLiteral("Accounts");
}

std::string_view View_Of(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

Accounts_Window::Accounts_Window(Account_File& file_, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , file(file_)
    , model(new Accounts_Model(this))
{
    setObjectName(QStringLiteral("Form_Accounts"));
    setWindowTitle(Title());
    setAttribute(Qt::WA_QuitOnClose, false);
    Build();
    resize(520, 460);
}

Accounts_Window::~Accounts_Window() = default;

void Accounts_Window::Build()
{
    grid = Named(new QTableView(this), "Grid_Accounts");
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->hide();

    account_edit = Named(new QLineEdit(this), "Edit_Account");
    account_edit->setMaxLength(static_cast<int>(Account_Row::Longest_Account));
    mode_box = Named(new QComboBox(this), "ComboBox_Mode");
    for (const Account_Mode mode : Modes)
        mode_box->addItem(QString::fromLatin1(Account_Mode_Name(mode).data()));
    key_edit = Named(new QLineEdit(this), "Edit_Key");
    key_edit->setEchoMode(QLineEdit::Password);
    key_edit->setMaxLength(64); // 32 bytes in hexadecimal
    key_text = Named(new QRadioButton(QStringLiteral("Text"), this), "RadioButton_Key_Text");
    key_hex = Named(new QRadioButton(QStringLiteral("Hex"), this), "RadioButton_Key_Hex");
    auto* formats = new QButtonGroup(this);
    formats->addButton(key_text);
    formats->addButton(key_hex);
    key_hex->setChecked(true);
    show_key = Named(new QCheckBox(QStringLiteral("Show"), this), "CheckBox_Show_Key");

    add_button = Named(new QPushButton(QStringLiteral("Add"), this), "Button_Add");
    edit_button = Named(new QPushButton(QStringLiteral("Edit"), this), "Button_Edit");
    delete_button = Named(new QPushButton(QStringLiteral("Delete"), this), "Button_Delete");
    save_button = Named(new QPushButton(QStringLiteral("Save"), this), "Button_Save");
    state_label = Named(new QLabel(this), "Label_State");

    auto* editor = new QGridLayout;
    editor->addWidget(new QLabel(QStringLiteral("Account:"), this), 0, 0);
    editor->addWidget(account_edit, 0, 1);
    editor->addWidget(new QLabel(QStringLiteral("Mode:"), this), 0, 2);
    editor->addWidget(mode_box, 0, 3);
    editor->addWidget(new QLabel(QStringLiteral("Key:"), this), 1, 0);
    editor->addWidget(key_edit, 1, 1, 1, 3);
    auto* key_options = new QHBoxLayout;
    key_options->addWidget(key_text);
    key_options->addWidget(key_hex);
    key_options->addStretch();
    key_options->addWidget(show_key);
    editor->addLayout(key_options, 2, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {add_button, edit_button, delete_button})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(state_label);
    buttons->addWidget(save_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid, 1);
    layout->addLayout(editor);
    layout->addLayout(buttons);

    connect(
        grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Accounts_Window::Row_Selected);
    connect(mode_box, &QComboBox::currentIndexChanged, this, &Accounts_Window::Mode_Changed);
    connect(formats, &QButtonGroup::buttonClicked, this, &Accounts_Window::Key_Format_Changed);
    connect(show_key, &QCheckBox::toggled, this, &Accounts_Window::Show_Key_Changed);
    connect(add_button, &QPushButton::clicked, this, &Accounts_Window::Add_Clicked);
    connect(edit_button, &QPushButton::clicked, this, &Accounts_Window::Edit_Clicked);
    connect(delete_button, &QPushButton::clicked, this, &Accounts_Window::Delete_Clicked);
    connect(save_button, &QPushButton::clicked, this, &Accounts_Window::Save_Clicked);
    Mode_Changed();
    Set_Changed(false);
}

void Accounts_Window::Show_File()
{
    if (changed)
        return;
    QByteArray text;
    QString error;
    const Account_Read read = Read_Account_Text(file.Path(), text, error);
    std::vector<Account_Line_Fault> faults;
    std::vector<Account_Row> rows;
    if (read == Account_Read::Read)
        rows = Parse_Account_File(View_Of(text), faults);
    model->Set_Rows(std::move(rows));
    Set_Changed(false);
    if (read == Account_Read::Failed || read == Account_Read::Too_Large)
        Warn(QString::fromLatin1(Account_File_Name) + QStringLiteral(" cannot be read")
            + (error.isEmpty() ? QString() : QStringLiteral(": ") + error)
            + QStringLiteral(". Saving here replaces it."));
    else if (!faults.empty())
        Warn(QString::number(faults.size()) + QStringLiteral(" malformed lines of ")
            + QString::fromLatin1(Account_File_Name)
            + QStringLiteral(" are not shown; the system log names them. Saving here drops them."));
}

void Accounts_Window::Warn(const QString& text)
{
    Message_Box(this, text, Title(), Box_Buttons::Ok, Box_Icon::Warning);
}

void Accounts_Window::Set_Changed(bool now_changed)
{
    changed = now_changed;
    state_label->setText(changed ? QStringLiteral("Not saved") : QString());
    save_button->setEnabled(changed);
}

void Accounts_Window::Row_Selected()
{
    const QModelIndexList selected = grid->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const Account_Row& row = model->Rows()[static_cast<std::size_t>(selected.front().row())];
    account_edit->setText(
        QString::fromLatin1(row.Account_Text().data(), static_cast<qsizetype>(row.Account_Text().size())));
    {
        const QSignalBlocker quiet(mode_box);
        mode_box->setCurrentIndex(static_cast<int>(row.Mode));
    }
    const std::uint8_t aes_mode = Account_Aes_Mode(row.Mode);
    const std::size_t length = DC09_Key_Length(aes_mode);
    // Text would show the key only up to its first zero byte; hex shows every byte.
    if (key_text->isChecked() && !Key_Shows_As_Text(row.Key, length))
        key_hex->setChecked(true);
    key_edit->setText(aes_mode == 0
            ? QString()
            : QString::fromStdString(Key_Display_Text(row.Key, length, key_hex->isChecked())));
    Mode_Changed();
}

void Accounts_Window::Mode_Changed()
{
    const bool keyed = Account_Aes_Mode(Modes[mode_box->currentIndex()]) != 0;
    for (QWidget* control : {static_cast<QWidget*>(key_edit), static_cast<QWidget*>(key_text),
             static_cast<QWidget*>(key_hex), static_cast<QWidget*>(show_key)})
        control->setEnabled(keyed);
}

void Accounts_Window::Key_Format_Changed()
{
    // The key stays the same bytes; only the way it is written changes.
    Key_Bytes key {};
    const QByteArray typed = key_edit->text().toLatin1();
    const bool now_hex = key_hex->isChecked();
    if (now_hex)
        Key_From_Text(key, View_Of(typed));
    const bool not_hex
        = !now_hex && Key_From_Hex(key, View_Of(typed), sizeof key) < static_cast<std::size_t>(typed.size());
    // Text would show the key only up to its first zero byte: it stays in hex.
    if (!now_hex && (not_hex || !Key_Shows_As_Text(key, sizeof key))) {
        const QSignalBlocker quiet(key_hex);
        key_hex->setChecked(true);
        System_Beep();
        return;
    }
    const std::size_t length
        = now_hex ? static_cast<std::size_t>(typed.size()) : static_cast<std::size_t>(typed.size()) / 2;
    key_edit->setText(QString::fromStdString(Key_Display_Text(key, length, now_hex)));
}

void Accounts_Window::Show_Key_Changed()
{
    key_edit->setEchoMode(show_key->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

bool Accounts_Window::Editor_Row(Account_Row& row)
{
    row = Account_Row {};
    if (!Store_Account(account_edit->text().trimmed().toLatin1().constData(), row)) {
        Warn(QStringLiteral(
            "The account must be 3 to 16 hexadecimal digits, or * for every account without a row."));
        return false;
    }
    row.Mode = Modes[mode_box->currentIndex()];
    const std::uint8_t aes_mode = Account_Aes_Mode(row.Mode);
    if (aes_mode == 0)
        return true;
    const std::size_t length = DC09_Key_Length(aes_mode);
    const QByteArray typed = key_edit->text().toLatin1();
    Key_Bytes key {};
    bool whole = false;
    if (key_hex->isChecked())
        whole = static_cast<std::size_t>(typed.size()) == 2 * length
            && Key_From_Hex(key, View_Of(typed), length) == static_cast<std::size_t>(typed.size());
    else {
        whole = !typed.isEmpty() && static_cast<std::size_t>(typed.size()) <= length;
        Key_From_Text(key, View_Of(typed));
    }
    if (!whole) {
        Warn(key_hex->isChecked() ? QStringLiteral("The key must be ") + QString::number(2 * length)
                    + QStringLiteral(" hexadecimal digits.")
                                  : QStringLiteral("The key must be 1 to ") + QString::number(length)
                    + QStringLiteral(" characters."));
        return false;
    }
    std::memcpy(row.Key, key, length);
    return true;
}

void Accounts_Window::Add_Clicked()
{
    Account_Row row;
    if (!Editor_Row(row))
        return;
    if (model->Find(row) >= 0) {
        Warn(QStringLiteral("Account ") + account_edit->text().trimmed().toUpper()
            + QStringLiteral(" has a row already: select it and click Edit."));
        return;
    }
    grid->selectRow(model->Put(-1, row));
    Set_Changed(true);
}

void Accounts_Window::Edit_Clicked()
{
    const QModelIndexList selected = grid->selectionModel()->selectedRows();
    Account_Row row;
    if (selected.isEmpty() || !Editor_Row(row))
        return;
    const int index = selected.front().row();
    const int same = model->Find(row);
    if (same >= 0 && same != index) {
        Warn(QStringLiteral("Account ") + account_edit->text().trimmed().toUpper()
            + QStringLiteral(" has another row already."));
        return;
    }
    model->Put(index, row);
    Set_Changed(true);
}

void Accounts_Window::Delete_Clicked()
{
    const QModelIndexList selected = grid->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int index = selected.front().row();
    const QString account = model->data(model->index(index, Accounts_Model::Account_Column)).toString();
    if (Message_Box(this, QStringLiteral("Delete the row of account ") + account + QStringLiteral("?"),
            Title(), Box_Buttons::Yes_No, Box_Icon::Question, Box_Answer::No)
        != Box_Answer::Yes)
        return;
    model->Remove(index);
    Set_Changed(true);
}

bool Accounts_Window::Save_Clicked()
{
    std::string error;
    if (!Save_Account_File(file.Path(), model->Rows(), error)) {
        Message_Box(this,
            QString::fromLatin1(Account_File_Name) + QStringLiteral(" could not be saved: ")
                + QString::fromStdString(error),
            Title(), Box_Buttons::Ok, Box_Icon::Error);
        return false;
    }
    Set_Changed(false);
    // The receiver takes the new table for its next message, not when the watch reports it.
    file.Load();
    return true;
}

void Accounts_Window::closeEvent(QCloseEvent* event)
{
    if (changed
        && Message_Box(this, QStringLiteral("Discard the changes to the account table that are not saved?"),
               Title(), Box_Buttons::Yes_No, Box_Icon::Question, Box_Answer::No)
            != Box_Answer::Yes) {
        event->ignore();
        return;
    }
    Set_Changed(false);
    event->accept();
}
