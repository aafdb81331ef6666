#include "help_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), browser(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Hilfe zu Tornavel"));
    setModal(false);
    QFile page(QStringLiteral(":/res/help.html"));
    if (page.open(QIODevice::ReadOnly))
        browser->setHtml(QString::fromUtf8(page.readAll()));
    browser->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser);
    resize(460, 520);
}

QString CHelpWindow::GetText() const { return browser->toPlainText(); }
