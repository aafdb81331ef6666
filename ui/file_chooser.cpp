#include "file_chooser.h"

#include <QFile>
#include <QFileDialog>

bool CFileChooser::ChooseFile(const std::string& initialName, std::string& chosenPath)
{
    // No parent and no filter: the dialog is modal by itself, and a program
    // file may carry any name.
    const QString chosen = QFileDialog::getOpenFileName(nullptr, QString(), QFile::decodeName(QByteArray::fromStdString(initialName)));
    if (chosen.isEmpty())
        return false;
    chosenPath = QFile::encodeName(chosen).toStdString();
    return true;
}
