// The panel's help: a small window beside the panel that lists the keys and
// says what each read-out means. It does not block the panel.
#pragma once

#include <QDialog>

class QTextBrowser;

class CHelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit CHelpWindow(QWidget* parent);

    QString GetText() const;

private:
    QTextBrowser* browser;
};
