#include "receiver/Account_File.h"

#include "base/Log_Writer.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

constexpr int Settle_Ms = 50;

QString Name()
{
    return QString::fromLatin1(Account_File_Name);
}

} // namespace

Account_File::Account_File(std::string path_, Log_Writer& log_, QObject* parent)
    : QObject(parent)
    , path(std::move(path_))
    , log(log_)
    , watcher(new QFileSystemWatcher(this))
    , settle(new QTimer(this))
{
    settle->setSingleShot(true);
    settle->setInterval(Settle_Ms);
    connect(settle, &QTimer::timeout, this, &Account_File::Load);
    // A rename over the file (how an editor or the Accounts window saves) ends the watch on the
    // old file, so the folder is watched too and the new file is watched again on every load.
    connect(watcher, &QFileSystemWatcher::fileChanged, this, [this] { settle->start(); });
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        // Other files come and go in the data folder (monthly logs); only this file appearing (or
        // renamed in) matters here: its changes and its removal are reported by its own watch.
        const QString file = QString::fromStdString(path);
        if (QFileInfo::exists(file) != watcher->files().contains(file))
            settle->start();
    });
}

Account_File::~Account_File() = default;

void Account_File::Start()
{
    Load();
    const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
    watcher->addPath(folder);
}

void Account_File::Log_Line(const QString& text, bool red)
{
    log.Log_Message(text.toStdString(), red ? Log_Red : Log_Black);
}

void Account_File::Watch()
{
    const QString file = QString::fromStdString(path);
    if (QFileInfo::exists(file) && !watcher->files().contains(file))
        watcher->addPath(file);
}

void Account_File::Load()
{
    settle->stop();
    Watch();
    QByteArray text;
    QString error;
    const Account_Read read = Read_Account_Text(path, text, error);
    if (read == Account_Read::Missing) {
        if (loaded) {
            loaded = false;
            loaded_text.clear();
            table.reset();
            Log_Line(Name() + QStringLiteral(" removed: the settings' encryption applies to every account"),
                false);
            emit Table_Changed();
        }
        return;
    }
    if (read == Account_Read::Failed) {
        Log_Line(Name() + QStringLiteral(" cannot be read (") + error
                + QStringLiteral("): the account table in force is kept"),
            true);
        return;
    }
    if (read == Account_Read::Too_Large) {
        Log_Line(Name() + QStringLiteral(" is larger than ") + QString::number(Size_Limit / (1024 * 1024))
                + QStringLiteral(" MiB: the account table in force is kept"),
            true);
        return;
    }
    // A watch event that changed nothing (a touch, a second event for one save) is not logged again.
    if (loaded && text == loaded_text)
        return;

    std::vector<Account_Line_Fault> faults;
    std::vector<Account_Row> rows
        = Parse_Account_File({text.constData(), static_cast<std::size_t>(text.size())}, faults);
    for (const Account_Line_Fault& fault : faults)
        Log_Line(Name() + QStringLiteral(" line ") + QString::number(fault.Line)
                + QStringLiteral(" ignored: ") + QString::fromStdString(fault.Reason),
            true);
    table = std::make_shared<const Account_Table>(std::move(rows));
    loaded = true;
    loaded_text = text;
    Log_Line(
        Name() + QStringLiteral(" read: ") + QString::number(table->Size()) + QStringLiteral(" accounts"),
        false);
    emit Table_Changed();
}

Account_Read Read_Account_Text(const std::string& path, QByteArray& text, QString& error)
{
    QFile file(QString::fromStdString(path));
    if (!file.exists())
        return Account_Read::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return Account_Read::Failed;
    }
    if (file.size() > Account_File::Size_Limit)
        return Account_Read::Too_Large;
    // Read with a bound: the size may have grown since it was asked.
    text = file.read(Account_File::Size_Limit + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return Account_Read::Failed;
    }
    return text.size() > Account_File::Size_Limit ? Account_Read::Too_Large : Account_Read::Read;
}
