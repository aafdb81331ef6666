// The panel under load: reloads in the middle of a block, commands after a
// failed load, and thousands of steps.
#include <QtTest>

#include "cli_panel.h"
#include "controller_dlg.h"
#include "ui_test_support.h"

class PanelLoadTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void placeholder();

private:
    CTemporarySettings* settings = nullptr;
};

void PanelLoadTest::init() { settings = new CTemporarySettings; }

void PanelLoadTest::cleanup()
{
    delete settings;
    settings = nullptr;
}

void PanelLoadTest::placeholder() { QVERIFY(settings != nullptr); }

QTEST_MAIN(PanelLoadTest)
#include "panel_load_test.moc"
