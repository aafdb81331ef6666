#include <QtTest>
class ControllerDlgTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { QVERIFY(true); }
};
QTEST_MAIN(ControllerDlgTest)
#include "controller_dlg_test.moc"
