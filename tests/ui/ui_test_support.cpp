#include "ui_test_support.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "control_ids.h"
#include "controller_dlg.h"

CTemporarySettings::CTemporarySettings()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, userFolder.path());
}

CTemporarySettings::~CTemporarySettings()
{
    // Folders closed to writing could not be removed by an ordinary account.
    const QFileDevice::Permissions open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(folder.path(), open);
    QDirIterator entries(folder.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext())
        QFile::setPermissions(entries.next(), open);
    // Nothing can be stored under a device file, not even by root: whatever
    // runs after the test writes nowhere real either.
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("/dev/null/tornavel-test"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null/tornavel-test"));
}

QString CTemporarySettings::GetKeyFile() const { return folder.filePath(QStringLiteral("Kelmaran/Files.ini")); }

QString CTemporarySettings::GetUserKeyFile() const
{
    return userFolder.filePath(QStringLiteral("Kelmaran/Files.ini"));
}

namespace {

// A path under a plain file: no folder can be made there.
QString BlockedPath(const QTemporaryDir& folder)
{
    const QString blocker = folder.filePath(QStringLiteral("plain-file"));
    QFile file(blocker);
    if (file.open(QIODevice::WriteOnly))
        file.write("not a folder");
    return blocker + QStringLiteral("/store");
}

} // namespace

void CTemporarySettings::MakeReadOnlyForLearners()
{
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QFileDevice::Permissions enter = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QDirIterator entries(folder.path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        QFile::setPermissions(path, QFileInfo(path).isDir() ? readOnly | enter : readOnly);
    }
    QFile::setPermissions(folder.path(), readOnly | enter);
    // The learner's own store is theirs to write.
    QFile::setPermissions(userFolder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ReadOther | QFileDevice::WriteOther |
                                                 QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                 QFileDevice::WriteGroup | QFileDevice::ExeGroup);
}

CLearnerAccount::CLearnerAccount()
{
#ifdef Q_OS_UNIX
    // Root writes everywhere; an ordinary account is what a learner has.
    constexpr uid_t NOBODY = 65534;
    if (geteuid() == 0)
        switched = seteuid(NOBODY) == 0;
#endif
}

CLearnerAccount::~CLearnerAccount()
{
#ifdef Q_OS_UNIX
    if (switched && seteuid(0) != 0)
        qFatal("could not return to the test's own account");
#endif
}

void CTemporarySettings::MakeUnwritable()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, BlockedPath(folder));
}

void CTemporarySettings::MakeUserUnwritable()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, BlockedPath(userFolder));
}

std::string CProgramFolder::Write(const QString& name, const std::string& bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return QFile::encodeName(path).toStdString();
}

std::unique_ptr<CControllerDlg> CPanelDriver::OpenPanel()
{
    auto panel = std::make_unique<CControllerDlg>(&chooser);
    panel->show();
    panel->activateWindow();
    if (!QTest::qWaitForWindowActive(panel.get()))
        qWarning("the panel did not become active");
    return panel;
}

void CPanelDriver::Load(CControllerDlg& panel, const std::string& bytes)
{
    chooser.SetPath(programs.Write(QStringLiteral("program%1.nc").arg(++programCount), bytes));
    QTest::mouseClick(Button(panel, IDC_LOAD), Qt::LeftButton);
}

QString CPanelDriver::Text(CControllerDlg& panel, int controlId)
{
    QWidget* control = panel.GetDlgItem(controlId);
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(control))
        return button->text();
    return QStringLiteral("<no control %1>").arg(controlId);
}

QPushButton* CPanelDriver::Button(CControllerDlg& panel, int controlId)
{
    return qobject_cast<QPushButton*>(panel.GetDlgItem(controlId));
}
