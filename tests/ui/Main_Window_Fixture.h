#pragma once

#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "ui/Main_Window.h"
#include "ui/Message_Box.h"

#include <QFile>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

// A main window over a settings file in a fresh folder, with the defaults of a first start.
class Main_Window_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Settings_Path = Folder.filePath(QStringLiteral("tarvel.cfg")).toStdString();
        Load_Settings(Settings_Path, Settings);
        Log = std::make_unique<Log_Writer>(Folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr);
        Form = std::make_unique<TMain_Form>(Settings, Settings_Path, *Log);
        // The offscreen platform has no notification area; the tests choose.
        Form->System_Tray_Available = [this] { return Tray_Available; };
        Set_Message_Box_Hook({});
    }

    void TearDown() override
    {
        Form.reset();
        Set_Message_Box_Hook({});
    }

    template<typename Control> Control* Find(const char* name)
    {
        auto* control = Form->findChild<Control*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QSystemTrayIcon* Tray_Icon() { return Find<QSystemTrayIcon>("TrayIcon1"); }

    // What the operator's click on the notification-area icon sends.
    void Click_Tray_Icon() { emit Tray_Icon()->activated(QSystemTrayIcon::Trigger); }

    // Replaces the edit's text key by key, as the operator would.
    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    Settings_Record File_Settings() const
    {
        Settings_Record stored {};
        QFile file(QString::fromStdString(Settings_Path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(bytes.size(), 256);
        std::memcpy(&stored, bytes.constData(), std::min<std::size_t>(sizeof stored, bytes.size()));
        return stored;
    }

    bool Tray_Available = true;
    QTemporaryDir Folder;
    std::string Settings_Path;
    Settings_Record Settings {};
    std::unique_ptr<Log_Writer> Log;
    std::unique_ptr<TMain_Form> Form;
};
