#include "controller_app.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "controller_dlg.h"

CControllerApp::CControllerApp(const std::string& startFile, IFileChooser* dialog) : fileChooser(startFile, dialog)
{
    settings.SetWriteFailureHandler([](const QString& text) {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Tornavel"), text);
    });
}

void CControllerApp::InitInstance()
{
    const std::unique_ptr<CControllerDlg> panel = CreatePanel();
    panel->exec();
}

std::unique_ptr<CControllerDlg> CControllerApp::CreatePanel()
{
    auto panel = std::make_unique<CControllerDlg>(&fileChooser, &settings);
    if (fileChooser.HasStartFile())
        QTimer::singleShot(0, panel.get(), &CControllerDlg::OnLoad);
    return panel;
}
