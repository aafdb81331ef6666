#include "controller_app.h"

#include "controller_dlg.h"

void CControllerApp::InitInstance()
{
    CControllerDlg panel;
    panel.exec();
}
