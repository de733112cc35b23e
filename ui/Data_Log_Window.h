#pragma once

#include <QMainWindow>
#include <QStringList>
#include <atomic>
#include <functional>

class QAction;
class QPlainTextEdit;

// "Data Log": raw traffic, collected only while the window is visible and kept in memory until
// "Clear"; written to a file only when the operator saves it.
class TForm_Log_Test : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm_Log_Test(QWidget* parent = nullptr);
    ~TForm_Log_Test() override;

    // The feeders' single entry: a line is added only while the window is visible.
    bool Collecting() const { return isVisible(); }
    // From any thread: false means the window is not showing, so a worker need not hand a line
    // over at all. The window thread still checks Collecting() before adding it.
    bool Maybe_Collecting() const { return Shown.load(std::memory_order_relaxed); }
    void Add_Line(const QString& line);
    QStringList Lines() const;

    // Save steps after the file dialog: the overwrite question, then the lines replace the file's
    // content. False when nothing was written.
    bool Save_To_File(const QString& path);

    // Picks the file to save to; empty means cancelled. Replaceable so tests need no dialog.
    std::function<QString()> Choose_Save_File;

signals:
    // Shown (true) or hidden (false): whether lines are taken.
    void Collecting_Changed(bool collecting);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Meniu_Log_SaveClick();
    void Clear1Click();

    QPlainTextEdit* Memo_Log_Test;
    QAction* Meniu_Log_Save;
    QAction* Clear1;
    int Line_Count = 0;
    std::atomic<bool> Shown {false};
};

extern TForm_Log_Test* Form_Log_Test;
