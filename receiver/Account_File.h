#pragma once

#include "receiver/Account_Table.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class Log_Writer;
class QFileSystemWatcher;
class QTimer;

inline constexpr const char* Account_File_Name = "accounts.csv";

// accounts.csv in the data folder, read at start and again whenever it changes. Everything here
// runs on the window thread, as the receive path does, so a new table replaces the old one between
// two messages and no message ever sees half of either.
class Account_File : public QObject
{
    Q_OBJECT

public:
    // The file holds keys, so it is never larger than this by any honest use (10,000 rows are
    // under 1 MiB); a larger one is refused like an unreadable one.
    static constexpr qint64 Size_Limit = 16 * 1024 * 1024;

    Account_File(std::string path, Log_Writer& log, QObject* parent = nullptr);
    ~Account_File() override;

    // Reads the file and starts watching it and its folder.
    void Start();
    // Reads the file now. Without the file there is no table (the settings apply to every
    // account); a file that cannot be read keeps the table in force. Malformed lines are logged
    // in red with their line numbers, never with their text.
    void Load();

    // Null while no file is in force.
    const std::shared_ptr<const Account_Table>& Table() const { return table; }
    const std::string& Path() const { return path; }

signals:
    // A new table (or none) is in force.
    void Table_Changed();

private:
    void Watch();
    void Log_Line(const QString& text, bool red);

    std::string path;
    Log_Writer& log;
    QFileSystemWatcher* watcher;
    // Writers that rewrite the file in place are given a moment to finish before it is read.
    QTimer* settle;
    std::shared_ptr<const Account_Table> table;
    QByteArray loaded_text; // what the table in force was read from
    bool loaded = false; // a file was read into the table in force
};

// The file's bytes as they are now: Missing, Failed (with the system's reason), Too_Large
// (beyond Account_File::Size_Limit) or Read.
enum class Account_Read { Missing, Failed, Too_Large, Read };
Account_Read Read_Account_Text(const std::string& path, QByteArray& text, QString& error);

// Writes the rows to `path` as a whole: a temporary file beside it (mode 0600 where modes exist,
// since it holds keys), flushed to disk, then renamed over it. On failure the old file stays as it
// was and `error` says why.
bool Save_Account_File(const std::string& path, const std::vector<Account_Row>& rows, std::string& error);
