#include "base/Windows1252.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

// The table against an independent one: Qt's ICU-backed converter, for every defined byte.
TEST(Windows1252, DecodesEveryDefinedByteAsTheCodePageDoes)
{
    QStringDecoder reference("windows-1252");
    ASSERT_TRUE(reference.isValid()) << "Qt without ICU: no reference converter for windows-1252";
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const QString ours = DecodeWindows1252(byte);
        ASSERT_EQ(ours.size(), 1);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            EXPECT_EQ(ours.at(0).unicode(), b) << b; // undefined: the control character of its value
            EXPECT_FALSE(FitsWindows1252(char32_t(b))) << b;
            continue;
        }
        EXPECT_EQ(ours, reference.decode(byte)) << b;
        EXPECT_TRUE(FitsWindows1252(ours.at(0).unicode())) << b;
        EXPECT_EQ(EncodeWindows1252Xml(ours), byte) << b;
    }
}

TEST(Windows1252, WhatTheCodePageCannotHoldBecomesACharacterReference)
{
    const struct {
        const char *what;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"in the code page", QStringLiteral("€ – “x” ‘y’ é ß Ÿ"), "\x80 \x96 \x93x\x94 \x91y\x92 \xE9 \xDF \x9F"},
        {"outside it", QStringLiteral("<naam>Łódź Ωmega</naam>"),
         "<naam>&#321;\xF3"
         "d&#378; &#937;mega</naam>"},
        {"outside the basic plane", QStringLiteral("a\U0001F695b"), "a&#128661;b"},
        {"lone surrogate", QString(QChar(0xD800)) + QLatin1Char('x'), "?x"},
        {"Latin-1 control", QString(QChar(0x80)), "&#128;"},
        {"in CDATA the section is closed around it", QStringLiteral("<r><![CDATA[Ł & <b>]]>Ł</r>"),
         "<r><![CDATA[]]>&#321;<![CDATA[ & <b>]]>&#321;</r>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EncodeWindows1252Xml(c.text), c.bytes) << c.what;
}
