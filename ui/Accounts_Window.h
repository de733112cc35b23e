#pragma once

#include <QWidget>

class Account_File;
class Accounts_Model;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
struct Account_Row;

// "Accounts": accounts.csv as a grid, with a row editor below it. Add puts the editor's row in
// the table, Edit replaces the selected row with it, Delete takes the selected row away (after
// asking). Nothing reaches the file before Save, which writes it whole and has the receiver read
// it at once.
class Accounts_Window : public QWidget
{
    Q_OBJECT

public:
    explicit Accounts_Window(Account_File& file, QWidget* parent = nullptr);
    ~Accounts_Window() override;

    // Shows the file as it is now, unless edits are waiting to be saved.
    void Show_File();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    void Row_Selected();
    void Mode_Changed();
    void Key_Format_Changed();
    void Show_Key_Changed();
    bool Editor_Row(Account_Row& row);
    void Add_Clicked();
    void Edit_Clicked();
    void Delete_Clicked();
    bool Save_Clicked();
    void Set_Changed(bool changed);
    void Warn(const QString& text);

    Account_File& file;
    Accounts_Model* model;
    QTableView* grid;
    QLineEdit* account_edit;
    QComboBox* mode_box;
    QLineEdit* key_edit;
    QRadioButton* key_text;
    QRadioButton* key_hex;
    QCheckBox* show_key;
    QPushButton* add_button;
    QPushButton* edit_button;
    QPushButton* delete_button;
    QPushButton* save_button;
    QLabel* state_label;
    bool changed = false;
};
