#pragma once

#include "ui/Message_Box.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh folder for a log window's files, and message boxes that answer with their defaults
// unless a test says otherwise.
class Log_Window_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Set_Message_Box_Hook({});
    }

    static QByteArray File_Bytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir Folder;
};
