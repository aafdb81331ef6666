// The panel's help, in German like the panel, written for learners: the
// keys, the stopping points, what each read-out means, the toolpath window,
// the learner aids, what each message says and where settings go. A small
// window beside the panel that does not block it.
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
