#include "ui/Data_Log_Window.h"

#include "ui/Message_Box.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

TForm_Log_Test* Form_Log_Test = nullptr;

TForm_Log_Test::TForm_Log_Test(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_Log_Test"));
    setWindowTitle(QStringLiteral("Data Log"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 360);

    Memo_Log_Test = new QPlainTextEdit(this);
    Memo_Log_Test->setObjectName(QStringLiteral("Memo_Log_Test"));
    Memo_Log_Test->setReadOnly(true);
    setCentralWidget(Memo_Log_Test);

    Meniu_Log_Save = menuBar()->addAction(QStringLiteral("&Save"));
    Meniu_Log_Save->setObjectName(QStringLiteral("Meniu_Log_Save"));
    connect(Meniu_Log_Save, &QAction::triggered, this, &TForm_Log_Test::Meniu_Log_SaveClick);
    Clear1 = menuBar()->addAction(QStringLiteral("&Clear"));
    Clear1->setObjectName(QStringLiteral("Clear1"));
    connect(Clear1, &QAction::triggered, this, &TForm_Log_Test::Clear1Click);

    Choose_Save_File = [this] {
        QFileDialog dialog(this, QString(), QString(), QStringLiteral("Log file  (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        // The overwrite question is ours, with our own wording.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
            ? dialog.selectedFiles().constFirst()
            : QString();
    };
    Form_Log_Test = this;
}

TForm_Log_Test::~TForm_Log_Test()
{
    if (Form_Log_Test == this)
        Form_Log_Test = nullptr;
}

void TForm_Log_Test::showEvent(QShowEvent* event)
{
    Shown.store(true, std::memory_order_relaxed);
    QMainWindow::showEvent(event);
    // A window the system minimises or restores stays visible, and keeps collecting.
    if (!event->spontaneous())
        emit Collecting_Changed(true);
}

void TForm_Log_Test::hideEvent(QHideEvent* event)
{
    Shown.store(false, std::memory_order_relaxed);
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())
        emit Collecting_Changed(false);
}

void TForm_Log_Test::Add_Line(const QString& line)
{
    if (!Collecting())
        return;
    // The memo's own append drops an empty first line, which the receiver's feed starts with.
    QScrollBar* scroll = Memo_Log_Test->verticalScrollBar();
    const bool following = scroll->value() == scroll->maximum();
    QTextCursor cursor(Memo_Log_Test->document());
    cursor.movePosition(QTextCursor::End);
    if (Line_Count > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++Line_Count;
    if (following)
        scroll->setValue(scroll->maximum());
}

QStringList TForm_Log_Test::Lines() const
{
    QStringList lines;
    // An empty document and a memo holding one empty line look alike; the count tells them apart.
    if (Line_Count == 0)
        return lines;
    for (QTextBlock block = Memo_Log_Test->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void TForm_Log_Test::Meniu_Log_SaveClick()
{
    const QString path = Choose_Save_File ? Choose_Save_File() : QString();
    if (!path.isEmpty())
        Save_To_File(path);
}

bool TForm_Log_Test::Save_To_File(const QString& path)
{
    if (QFile::exists(path)
        && Message_Box(this, QStringLiteral("This file name already exist, do you want to override it?"),
               QStringLiteral("File name already exist"), Box_Buttons::Yes_No, Box_Icon::Question)
            != Box_Answer::Yes)
        return false;
    QFile file(path);
    // Raw traffic names accounts and addresses: a new file is the owner's alone.
    if (!file.open(
            QIODevice::WriteOnly | QIODevice::Truncate, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        Message_Box(this, QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()),
            windowTitle(), Box_Buttons::Ok, Box_Icon::Error);
        return false;
    }
    // A full disk shows only at the write, the flush or the close: each is checked, so that a
    // save never counts as done when the file is short.
    bool written = true;
    for (const QString& line : Lines()) {
        const QByteArray bytes = line.toUtf8() + QByteArrayLiteral("\r\n");
        if (file.write(bytes) != bytes.size()) {
            written = false;
            break;
        }
    }
    written = written && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        Message_Box(this, QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()),
            windowTitle(), Box_Buttons::Ok, Box_Icon::Error);
        return false;
    }
    return true;
}

void TForm_Log_Test::Clear1Click()
{
    Memo_Log_Test->clear();
    Line_Count = 0;
}
