#include <QApplication>

#include "controller_app.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CControllerApp controllerApp;
    controllerApp.InitInstance();
    return 0;
}
