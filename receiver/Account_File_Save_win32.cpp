#include "receiver/Account_File.h"

#include <QSaveFile>
#include <QString>

// Windows has no file modes to set; the data folder's access rules apply. QSaveFile writes a
// temporary file beside the target and replaces the target with it on commit.
bool Save_Account_File(const std::string& path, const std::vector<Account_Row>& rows, std::string& error)
{
    const std::string text = Format_Account_File(rows);
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)
        || file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())
        || !file.commit()) {
        error = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    return true;
}
