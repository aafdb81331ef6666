#include "file_chooser.h"

#include <QFileDialog>

bool CFileChooser::ChooseFile(const std::string& initialName, std::string& chosenPath)
{
    // No parent and no filter: the dialog is modal by itself, and a program
    // file may carry any name.
    const QString chosen = QFileDialog::getOpenFileName(nullptr, QString(), QString::fromStdString(initialName));
    if (chosen.isEmpty())
        return false;
    chosenPath = chosen.toStdString();
    return true;
}
