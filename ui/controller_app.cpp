#include "controller_app.h"

#include <QTimer>

#include "controller_dlg.h"

CControllerApp::CControllerApp(const std::string& startFile, IFileChooser* dialog) : fileChooser(startFile, dialog) {}

void CControllerApp::InitInstance()
{
    const std::unique_ptr<CControllerDlg> panel = CreatePanel();
    panel->exec();
}

std::unique_ptr<CControllerDlg> CControllerApp::CreatePanel()
{
    auto panel = std::make_unique<CControllerDlg>(&fileChooser);
    if (fileChooser.HasStartFile())
        QTimer::singleShot(0, panel.get(), &CControllerDlg::OnLoad);
    return panel;
}
