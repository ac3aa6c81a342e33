// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"

#include <QTest>

namespace {

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace

class TestForm : public QObject {
    Q_OBJECT

private slots:
    void decodesFields_data();
    void decodesFields();
    void refusesBadForms_data();
    void refusesBadForms();
    void percentDecodeKeepsPlusInPaths();
    void checksUtf8_data();
    void checksUtf8();
    void recognisesFormContentType_data();
    void recognisesFormContentType();
};

void TestForm::decodesFields_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected"); // key, value, key, value ...
    QTest::addColumn<QStringList>("valuesWithPlus");

    QTest::newRow("client body") << QByteArray("stl=/home/u/jobs/part.stl&printer=192.0.2.10:80"
                                               "&profile=3&name=job%20one")
                                 << strings({ "stl", "/home/u/jobs/part.stl", "printer",
                                        "192.0.2.10:80", "profile", "3", "name", "job one" })
                                 << strings({ "/home/u/jobs/part.stl", "192.0.2.10:80", "3",
                                        "job one" });
    QTest::newRow("plus is a space")
        << QByteArray("name=a+b") << strings({ "name", "a b" }) << strings({ "a+b" });
    QTest::newRow("escaped plus stays")
        << QByteArray("name=a%2Bb") << strings({ "name", "a+b" }) << strings({ "a+b" });
    QTest::newRow("escaped delimiters")
        << QByteArray("name=a%20%26%20b&path=x%3Dy%23z")
        << strings({ "name", "a & b", "path", "x=y#z" }) << strings({ "a & b", "x=y#z" });
    QTest::newRow("lower-case hex")
        << QByteArray("k=%c3%a9") << strings({ "k", "\u00e9" }) << strings({ "\u00e9" });
    QTest::newRow("utf-8 escapes")
        << QByteArray("k=%E2%82%AC") << strings({ "k", "\u20ac" }) << strings({ "\u20ac" });
    QTest::newRow("empty pieces skipped")
        << QByteArray("&a=1&&b=2&") << strings({ "a", "1", "b", "2" }) << strings({ "1", "2" });
    QTest::newRow("no equals sign")
        << QByteArray("flag&b=") << strings({ "flag", "", "b", "" }) << strings({ "", "" });
    QTest::newRow("equals in value")
        << QByteArray("a=b=c") << strings({ "a", "b=c" }) << strings({ "b=c" });
    QTest::newRow("escaped key") << QByteArray("st%6C=x") << strings({ "stl", "x" })
                                 << strings({ "x" });
    QTest::newRow("client's plus in a path")
        << QByteArray("stl=/home/u/C++%20parts/a.stl")
        << strings({ "stl", "/home/u/C   parts/a.stl" }) << strings({ "/home/u/C++ parts/a.stl" });
    QTest::newRow("empty body") << QByteArray() << QStringList() << QStringList();
}

void TestForm::decodesFields()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    Form form;
    std::string error;
    QVERIFY(parseForm(body.toStdString(), form, error));
    QStringList actual;
    QStringList withPlus;
    for (const FormField& field : form) {
        actual << QString::fromStdString(field.key) << QString::fromStdString(field.value);
        withPlus << QString::fromStdString(field.valueWithPlus);
    }
    QCOMPARE(actual, expected);
    QTEST(withPlus, "valuesWithPlus");
    QVERIFY(error.empty());
}

void TestForm::refusesBadForms_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("sentence");

    const QString badEscape
        = QStringLiteral("The form has a \"%\" that is not followed by two hexadecimal digits.");
    QTest::newRow("escape cut at end") << QByteArray("a=%4") << badEscape;
    QTest::newRow("bare percent") << QByteArray("a=%") << badEscape;
    QTest::newRow("not hex") << QByteArray("a=%G1") << badEscape;
    QTest::newRow("bad escape in key") << QByteArray("%zz=1") << badEscape;
    const QString notUtf8 = QStringLiteral("The form holds text that is not UTF-8.");
    QTest::newRow("latin-1 byte") << QByteArray("a=%E9") << notUtf8;
    QTest::newRow("overlong slash") << QByteArray("a=%C0%AF") << notUtf8;
    QTest::newRow("surrogate") << QByteArray("a=%ED%A0%80") << notUtf8;
    QTest::newRow("NUL in a path") << QByteArray("stl=/tmp/a.stl%00.txt")
                                   << QStringLiteral("The form holds a NUL byte (%00).");
    QTest::newRow("duplicate field") << QByteArray(
        "a=1&b=2&a=3") << QStringLiteral("The form gives the field \"a\" more than once.");
    QTest::newRow("long duplicate cut short")
        << QByteArray(60, 'k') + "=1&" + QByteArray(60, 'k') + "=2"
        << QStringLiteral("The form gives the field \"%1...\" more than once.")
               .arg(QString(40, QLatin1Char('k')));
}

void TestForm::refusesBadForms()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, sentence);
    Form form;
    std::string error;
    QVERIFY(!parseForm(body.toStdString(), form, error));
    QCOMPARE(QString::fromStdString(error), sentence);
}

void TestForm::percentDecodeKeepsPlusInPaths()
{
    std::string out;
    QVERIFY(percentDecode("a+b%3A1", false, out));
    QCOMPARE(out, std::string("a+b:1"));
    QVERIFY(percentDecode("a+b", true, out));
    QCOMPARE(out, std::string("a b"));
    QVERIFY(!percentDecode("ab%2", false, out));
}

void TestForm::checksUtf8_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("plain") << true;
    QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << true;
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
    QTest::newRow("highest code point") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("cut sequence") << QByteArray("\xe2\x82") << false;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    QTest::newRow("overlong three bytes") << QByteArray("\xe0\x80\xaf") << false;
    QTest::newRow("five-byte lead") << QByteArray("\xf8\x88\x80\x80\x80") << false;
}

void TestForm::checksUtf8()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(isUtf8(std::string_view(text.constData(), text.size())), valid);
}

void TestForm::recognisesFormContentType_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<bool>("form");
    QTest::newRow("client's") << QStringLiteral("application/x-www-form-urlencoded; charset=utf-8")
                              << true;
    QTest::newRow("bare") << QStringLiteral("application/x-www-form-urlencoded") << true;
    QTest::newRow("upper case") << QStringLiteral("Application/X-WWW-Form-URLencoded") << true;
    QTest::newRow("spaces") << QStringLiteral(" application/x-www-form-urlencoded ;charset=utf-8")
                            << true;
    QTest::newRow("json") << QStringLiteral("application/json; charset=utf-8") << false;
    QTest::newRow("multipart") << QStringLiteral("multipart/form-data; boundary=x") << false;
    QTest::newRow("prefix only") << QStringLiteral("application/x-www-form") << false;
    QTest::newRow("longer") << QStringLiteral("application/x-www-form-urlencodedx") << false;
    QTest::newRow("missing") << QStringLiteral("") << false;
}

void TestForm::recognisesFormContentType()
{
    QFETCH(QString, contentType);
    QFETCH(bool, form);
    QCOMPARE(isFormContentType(contentType.toStdString()), form);
}

QTEST_GUILESS_MAIN(TestForm)
#include "tst_form.moc"
