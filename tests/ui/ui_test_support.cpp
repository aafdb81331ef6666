#include "ui_test_support.h"

#include <QFile>
#include <QSettings>

CTemporarySettings::CTemporarySettings()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, folder.path());
}

CTemporarySettings::~CTemporarySettings()
{
    // Nothing can be stored under a device file, not even by root: whatever
    // runs after the test writes nowhere real either.
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("/dev/null/tornavel-test"));
}

QString CTemporarySettings::GetKeyFile() const { return folder.filePath(QStringLiteral("Kelmaran/Files.ini")); }

void CTemporarySettings::MakeUnwritable()
{
    const QString blocker = folder.filePath(QStringLiteral("plain-file"));
    QFile file(blocker);
    if (file.open(QIODevice::WriteOnly))
        file.write("not a folder");
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, blocker + QStringLiteral("/store"));
}

std::string CProgramFolder::Write(const QString& name, const std::string& bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return QFile::encodeName(path).toStdString();
}

std::string CrLfLines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
