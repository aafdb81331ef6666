#include <QtTest>

#include "code_page_1252.h"

class CodePage1252Test : public QObject {
    Q_OBJECT

private slots:
    void byteBecomesCharacter_data();
    void byteBecomesCharacter();
    void everyByteRoundTrips();
    void unknownCharacterBecomesQuestionMark();
};

void CodePage1252Test::byteBecomesCharacter_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("unicode");
    QTest::newRow("ASCII letter") << 0x41 << 0x41;
    QTest::newRow("euro sign") << 0x80 << 0x20AC;
    QTest::newRow("undefined 0x81 stays a C1 character") << 0x81 << 0x81;
    QTest::newRow("byte 141 stays a C1 character") << 0x8D << 0x8D;
    QTest::newRow("ellipsis") << 0x85 << 0x2026;
    QTest::newRow("trade mark") << 0x99 << 0x2122;
    QTest::newRow("Y with diaeresis") << 0x9F << 0x178;
    QTest::newRow("a with diaeresis of Laengeninheit") << 0xE4 << 0xE4;
    QTest::newRow("y with diaeresis") << 0xFF << 0xFF;
    QTest::newRow("NUL") << 0x00 << 0x00;
}

void CodePage1252Test::byteBecomesCharacter()
{
    QFETCH(int, byte);
    QFETCH(int, unicode);
    QCOMPARE(Cp1252ToChar(static_cast<unsigned char>(byte)).unicode(), static_cast<char16_t>(unicode));
}

void CodePage1252Test::everyByteRoundTrips()
{
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    const QString text = Cp1252ToQString(bytes);
    QCOMPARE(text.size(), 256);
    QCOMPARE(QStringToCp1252(text), bytes);
}

void CodePage1252Test::unknownCharacterBecomesQuestionMark()
{
    QCOMPARE(QStringToCp1252(QStringLiteral("a\u0100b")), std::string("a?b"));
}

QTEST_APPLESS_MAIN(CodePage1252Test)
#include "code_page_1252_test.moc"
