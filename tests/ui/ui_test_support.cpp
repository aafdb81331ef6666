#include "ui_test_support.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "control_ids.h"
#include "controller_dlg.h"

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
