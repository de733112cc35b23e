#pragma once

#include "base/Sync_Events.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"

#include <QString>
#include <QTemporaryDir>

#include <mutex>
#include <string>

// The event ring and the object list over their files in a temporary folder, with the store gate
// open, as the program holds them.
struct Test_Stores
{
    QTemporaryDir Folder;
    Manual_Reset_Event Gate {true};
    std::mutex Object_Lock;
    Event_Store Events {Gate};
    Object_Table Objects {Gate, Object_Lock};

    std::string Path(const char* name) const
    {
        return Folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    // Creates both files; false when the folder could not be made.
    bool Load()
    {
        if (!Folder.isValid())
            return false;
        Events.Load_Event_File(Path("tarvel.dat"));
        Objects.Load_Object_File(Path("latevn.dat"));
        return true;
    }
};
