#include <climits>
#include <memory>

#include <QtTest>

#include "settings_store.h"
#include "workpiece_settings.h"
#include "ui_test_support.h"

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingKeyReadsAsMissing();
    void integerReadsLikeAtoi_data();
    void integerReadsLikeAtoi();
    void emptyTextLeavesIntegerUnchanged();
    void integerIsStoredAsDecimalText_data();
    void integerIsStoredAsDecimalText();
    void textLengthLimit_data();
    void textLengthLimit();
    void textEndsAtFirstNul();
    void codePageBytesRoundTrip();
    void unwritableStoreGivesFalse();
    void badKeyPathOrNameGivesFalse_data();
    void badKeyPathOrNameGivesFalse();
    void storeObjectUsesPerMachineRoot();
    void storeWritesWhereItCan_data();
    void storeWritesWhereItCan();
    void storeReadsUserBeforeMachine_data();
    void storeReadsUserBeforeMachine();
    void changedBoxSurvivesRestartWithoutAdministratorRights();

private:
    // Both reads fail and leave what they were given unchanged.
    static void VerifyNothingIsRead();

    std::unique_ptr<CTemporarySettings> store;
};

void SettingsStoreTest::VerifyNothingIsRead()
{
    std::string text = "unchanged";
    int value = 10;
    QVERIFY(!ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text));
    QVERIFY(!ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", value));
    QCOMPARE(text, std::string("unchanged"));
    QCOMPARE(value, 10);
}

void SettingsStoreTest::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the per-machine store is the registry hive here, which a test must not touch");
#endif
}

void SettingsStoreTest::init() { store = std::make_unique<CTemporarySettings>(); }

void SettingsStoreTest::cleanup() { store.reset(); }

void SettingsStoreTest::missingKeyReadsAsMissing()
{
    VerifyNothingIsRead();
    QVERIFY(!QFile::exists(store->GetKeyFile()));
}

void SettingsStoreTest::integerReadsLikeAtoi_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("negative number") << QByteArray("-15") << -15;
    QTest::newRow("letters after the digits") << QByteArray("12abc") << 12;
    QTest::newRow("letters only") << QByteArray("abc") << 0;
    QTest::newRow("leading blanks") << QByteArray("  42") << 42;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("decimal point ends the number") << QByteArray("3.9") << 3;
    QTest::newRow("beyond 32 bits saturates") << QByteArray("99999999999") << INT_MAX;
}

void SettingsStoreTest::integerReadsLikeAtoi()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", stored.toStdString()));
    int value = 10;
    QVERIFY(ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", value));
    QCOMPARE(value, expected);
}

void SettingsStoreTest::emptyTextLeavesIntegerUnchanged()
{
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", ""));
    int value = 10;
    QVERIFY(!ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", value));
    QCOMPARE(value, 10);
    std::string text = "unchanged";
    QVERIFY(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", text));
    QCOMPARE(text, std::string());
}

void SettingsStoreTest::integerIsStoredAsDecimalText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("minus eight is two characters") << -8 << QStringLiteral("-8");
    QTest::newRow("zero") << 0 << QStringLiteral("0");
    QTest::newRow("largest") << INT_MAX << QStringLiteral("2147483647");
    QTest::newRow("smallest") << INT_MIN << QStringLiteral("-2147483648");
}

void SettingsStoreTest::integerIsStoredAsDecimalText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QVERIFY(WriteSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_y", value));
    const QSettings file(store->GetKeyFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("start_y")).toString(), text);
    int readBack = 10;
    QVERIFY(ReadSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_y", readBack));
    QCOMPARE(readBack, value);
}

void SettingsStoreTest::textLengthLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("readable");
    QTest::newRow("259 bytes and the NUL fill the buffer") << 259 << true;
    QTest::newRow("260 bytes do not fit") << 260 << false;
    QTest::newRow("5000 bytes do not fit") << 5000 << false;
}

void SettingsStoreTest::textLengthLimit()
{
    QFETCH(int, length);
    QFETCH(bool, readable);
    const std::string path = "/" + std::string(static_cast<std::size_t>(length - 1), 'p');
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", path));
    std::string text = "unchanged";
    QCOMPARE(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text), readable);
    QCOMPARE(text, readable ? path : std::string("unchanged"));
}

void SettingsStoreTest::textEndsAtFirstNul()
{
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", std::string("ab\0cd", 5)));
    std::string text;
    QVERIFY(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text));
    QCOMPARE(text, std::string("ab"));
}

void SettingsStoreTest::codePageBytesRoundTrip()
{
    const std::string path = "/home/lehrling/Teil\xE4\x80\x8D.nc";
    QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", path));
    std::string text;
    QVERIFY(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text));
    QCOMPARE(text, path);
    const QSettings file(store->GetKeyFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("lastLoaded")).toString(), QString::fromUtf8("/home/lehrling/Teilä€\u008D.nc"));
}

void SettingsStoreTest::unwritableStoreGivesFalse()
{
    store->MakeUnwritable();
    QVERIFY(!WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", "/tmp/part.nc"));
    QVERIFY(!WriteSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", -8));
    VerifyNothingIsRead();
}

void SettingsStoreTest::badKeyPathOrNameGivesFalse_data()
{
    QTest::addColumn<QByteArray>("keyPath");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("empty key path") << QByteArray("") << QByteArray("start_x");
    QTest::newRow("key path of the root folder alone") << QByteArray("SOFTWARE") << QByteArray("start_x");
    QTest::newRow("key path leaving the store") << QByteArray("SOFTWARE\\..\\..\\elsewhere") << QByteArray("start_x");
    QTest::newRow("key path with a slash") << QByteArray("SOFTWARE\\a/b") << QByteArray("start_x");
    QTest::newRow("empty name") << QByteArray(SETTINGS_KEY) << QByteArray("");
    QTest::newRow("name with a group separator") << QByteArray(SETTINGS_KEY) << QByteArray("a/b");
}

void SettingsStoreTest::badKeyPathOrNameGivesFalse()
{
    QFETCH(QByteArray, keyPath);
    QFETCH(QByteArray, name);
    QVERIFY(!WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath.toStdString(), name.toStdString(), "1"));
    std::string text = "unchanged";
    QVERIFY(!ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath.toStdString(), name.toStdString(), text));
    QCOMPARE(text, std::string("unchanged"));
}

void SettingsStoreTest::storeObjectUsesPerMachineRoot()
{
    CSettingsStore settings;
    QVERIFY(settings.WriteSettingString(SETTINGS_KEY, "lastLoaded", "/tmp/part.nc"));
    std::string text;
    QVERIFY(ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text));
    QCOMPARE(text, std::string("/tmp/part.nc"));
    QVERIFY(WriteSettingInt(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "start_x", 300));
    QVERIFY(settings.ReadSettingString(SETTINGS_KEY, "start_x", text));
    QCOMPARE(text, std::string("300"));
}

void SettingsStoreTest::storeWritesWhereItCan_data()
{
    QTest::addColumn<bool>("machineWritable");
    QTest::addColumn<bool>("userWritable");
    QTest::addColumn<bool>("userHadCopy");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("inMachine");
    QTest::addColumn<QString>("inUser");
    QTest::newRow("writable machine store takes the value") << true << true << false << true << "new" << "";
    QTest::newRow("the user's older copy follows the machine's") << true << true << true << true << "new" << "new";
    QTest::newRow("learner without administrator rights: the user's store")
        << false << true << false << true << "" << "new";
    QTest::newRow("machine store only, user's closed") << true << false << false << true << "new" << "";
    QTest::newRow("nothing writable: false and one message") << false << false << false << false << "" << "";
}

void SettingsStoreTest::storeWritesWhereItCan()
{
    QFETCH(bool, machineWritable);
    QFETCH(bool, userWritable);
    QFETCH(bool, userHadCopy);
    QFETCH(bool, stored);
    QFETCH(QString, inMachine);
    QFETCH(QString, inUser);
    if (userHadCopy)
        QVERIFY(WriteSettingString(SETTINGS_ROOT_CURRENT_USER, SETTINGS_KEY, "lastLoaded", "old"));
    if (!machineWritable)
        store->MakeUnwritable();
    if (!userWritable)
        store->MakeUserUnwritable();
    CSettingsStore settings;
    QStringList messages;
    settings.SetWriteFailureHandler([&messages](const QString& text) { messages << text; });
    QCOMPARE(settings.WriteSettingString(SETTINGS_KEY, "lastLoaded", "new"), stored);
    QCOMPARE(settings.WriteSettingString(SETTINGS_KEY, "start_x", "5"), stored);
    std::string text;
    QCOMPARE(QString::fromStdString(
                 ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", text) ? text : ""),
             inMachine);
    text.clear();
    QCOMPARE(QString::fromStdString(
                 ReadSettingString(SETTINGS_ROOT_CURRENT_USER, SETTINGS_KEY, "lastLoaded", text) ? text : ""),
             inUser);
    // Two lost values, one message, in German and naming both places.
    QCOMPARE(messages.size(), stored ? 0 : 1);
    if (!stored) {
        QVERIFY(messages.first().startsWith(QStringLiteral("Die Einstellungen lassen sich nicht speichern")));
        QVERIFY(messages.first().contains(QStringLiteral("plain-file")));
    }
    // What was written reads back through a new store object.
    CSettingsStore restarted;
    text.clear();
    QCOMPARE(restarted.ReadSettingString(SETTINGS_KEY, "lastLoaded", text), stored);
    if (stored)
        QCOMPARE(text, std::string("new"));
}

void SettingsStoreTest::storeReadsUserBeforeMachine_data()
{
    QTest::addColumn<QString>("inMachine");
    QTest::addColumn<QString>("inUser");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the machine's value counts when the user has none") << "teacher" << "" << "teacher";
    QTest::newRow("the user's value wins") << "teacher" << "learner" << "learner";
    QTest::newRow("the user's value alone") << "" << "learner" << "learner";
    QTest::newRow("neither") << "" << "" << "";
}

void SettingsStoreTest::storeReadsUserBeforeMachine()
{
    QFETCH(QString, inMachine);
    QFETCH(QString, inUser);
    QFETCH(QString, expected);
    if (!inMachine.isEmpty())
        QVERIFY(WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY, "lastLoaded", inMachine.toStdString()));
    if (!inUser.isEmpty())
        QVERIFY(WriteSettingString(SETTINGS_ROOT_CURRENT_USER, SETTINGS_KEY, "lastLoaded", inUser.toStdString()));
    CSettingsStore settings;
    std::string text;
    QCOMPARE(settings.ReadSettingString(SETTINGS_KEY, "lastLoaded", text), !expected.isEmpty());
    QCOMPARE(QString::fromStdString(text), expected);
}

void SettingsStoreTest::changedBoxSurvivesRestartWithoutAdministratorRights()
{
    // A teacher's box for the machine, then a learner who cannot write there.
    CWorkpieceSettings teacher;
    teacher.automaticBox = false;
    const double box[STOCK_BOX_VALUES] = {0.0, 0.0, -20.0, 100.0, 80.0, 0.0};
    std::copy(box, box + STOCK_BOX_VALUES, teacher.box);
    {
        CSettingsStore settings;
        teacher.Save(settings);
    }
    store->MakeReadOnlyForLearners();
    const CLearnerAccount account;
    QVERIFY(!CanWriteSettings(SETTINGS_ROOT_LOCAL_MACHINE, SETTINGS_KEY));
    CWorkpieceSettings learner;
    {
        CSettingsStore settings;
        learner.Load(settings);
        QVERIFY(learner == teacher);
        learner.box[4] = 60.0;
        learner.Save(settings);
    }
    CSettingsStore restarted;
    CWorkpieceSettings loaded;
    loaded.Load(restarted);
    QCOMPARE(loaded.box[4], 60.0);
    QVERIFY(loaded == learner);
    QVERIFY(QFile::exists(store->GetUserKeyFile()));
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
