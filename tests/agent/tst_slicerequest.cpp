// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicerequest.h"

#include <QTest>

namespace {

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

Form formOf(const QStringList& pairs)
{
    Form form;
    for (int i = 0; i + 1 < pairs.size(); i += 2)
        form.push_back({ pairs.at(i).toStdString(), pairs.at(i + 1).toStdString(),
            pairs.at(i + 1).toStdString() });
    return form;
}

Form formOf(std::initializer_list<const char*> pairs) { return formOf(strings(pairs)); }

QStringList itemsOf(const SliceRequest& request)
{
    QStringList items;
    for (const SliceItem& item : request.items)
        items << QString::fromStdString(item.stlPath) << QString::number(item.profileId);
    return items;
}

} // namespace

class TestSliceRequest : public QObject {
    Q_OBJECT

private slots:
    void readsPreviewForm();
    void keepsThePlusSpelling();
    void readsAdvancedForm();
    void refusesBadForms_data();
    void refusesBadForms();
    void splitsPrinterAddress_data();
    void splitsPrinterAddress();
    void parsesIntegers_data();
    void parsesIntegers();
};

void TestSliceRequest::readsPreviewForm()
{
    SliceRequest request;
    std::string error;
    QVERIFY(parsePreviewForm(formOf({ "stl", "/home/u/jobs/part.stl", "printer", "192.0.2.10:80",
                                 "profile", "3", "name", "job one" }),
        request, error));
    QCOMPARE(request.jobName, std::string("job one"));
    QCOMPARE(request.printerIp, std::string("192.0.2.10"));
    QCOMPARE(request.printerPort, std::string("80"));
    QCOMPARE(itemsOf(request), (strings({ "/home/u/jobs/part.stl", "3" })));
    QCOMPARE(request.items.front().stlPathWithPlus, std::string("/home/u/jobs/part.stl"));
}

void TestSliceRequest::keepsThePlusSpelling()
{
    // What "stl=/j/C++%20a.stl" decodes to: both readings travel with the item.
    const Form form { { "stl", "/j/C   a.stl", "/j/C++ a.stl" }, { "printer", "a:1", "a:1" },
        { "profile", "3", "3" }, { "name", "n", "n" } };
    SliceRequest request;
    std::string error;
    QVERIFY(parsePreviewForm(form, request, error));
    QCOMPARE(request.items.front().stlPath, std::string("/j/C   a.stl"));
    QCOMPARE(request.items.front().stlPathWithPlus, std::string("/j/C++ a.stl"));
}

void TestSliceRequest::readsAdvancedForm()
{
    SliceRequest request;
    std::string error;
    Form form = formOf({ "count", "10", "printer", "local:lcd2k", "name", "two" });
    QStringList expected;
    for (int i = 1; i <= 10; ++i) {
        const QString path = QStringLiteral("/j/%1.stl").arg(i);
        form.push_back({ "stls_" + std::to_string(i), path.toStdString(), path.toStdString() });
        form.push_back(
            { "profiles_" + std::to_string(i), std::to_string(100 + i), std::to_string(100 + i) });
        expected << path << QString::number(100 + i);
    }
    QVERIFY(parseAdvancedForm(form, request, error));
    QCOMPARE(request.printerIp, std::string("local"));
    QCOMPARE(request.printerPort, std::string("lcd2k"));
    QCOMPARE(request.jobName, std::string("two"));
    QCOMPARE(itemsOf(request), expected); // stls_10 is read, not taken for stls_1
}

void TestSliceRequest::refusesBadForms_data()
{
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("sentence");

    QTest::newRow("no stl") << false << strings({ "printer", "a:1", "profile", "3", "name", "n" })
                            << QStringLiteral("The form lacks the field \"stl\".");
    QTest::newRow("no printer") << false
                                << strings({ "stl", "/a.stl", "profile", "3", "name", "n" })
                                << QStringLiteral("The form lacks the field \"printer\".");
    QTest::newRow("no name") << false
                             << strings({ "stl", "/a.stl", "printer", "a:1", "profile", "3" })
                             << QStringLiteral("The form lacks the field \"name\".");
    QTest::newRow("no profile") << false
                                << strings({ "stl", "/a.stl", "printer", "a:1", "name", "n" })
                                << QStringLiteral("The form lacks the field \"profile\".");
    QTest::newRow("relative stl")
        << false << strings({ "stl", "a.stl", "printer", "a:1", "profile", "3", "name", "n" })
        << QStringLiteral("The field \"stl\" must hold an absolute path to an STL file.");
    QTest::newRow("empty stl")
        << false << strings({ "stl", "", "printer", "a:1", "profile", "3", "name", "n" })
        << QStringLiteral("The field \"stl\" must hold an absolute path to an STL file.");
    QTest::newRow("profile not a number")
        << false << strings({ "stl", "/a.stl", "printer", "a:1", "profile", "3x", "name", "n" })
        << QStringLiteral("The field \"profile\" must hold a profile number.");
    QTest::newRow("printer without port")
        << false << strings({ "stl", "/a.stl", "printer", "a", "profile", "3", "name", "n" })
        << QStringLiteral("The field \"printer\" must read address:port.");
    QTest::newRow("printer empty port")
        << false << strings({ "stl", "/a.stl", "printer", "a:", "profile", "3", "name", "n" })
        << QStringLiteral("The field \"printer\" must read address:port.");
    QTest::newRow("printer is a colon")
        << false << strings({ "stl", "/a.stl", "printer", ":", "profile", "3", "name", "n" })
        << QStringLiteral("The field \"printer\" must read address:port.");
    const QString countSentence
        = QStringLiteral("The field \"count\" must be a number of items from 1 to 256.");
    QTest::newRow("count zero") << true << strings({ "count", "0", "printer", "a:1", "name", "n" })
                                << countSentence;
    QTest::newRow("count too big")
        << true << strings({ "count", "257", "printer", "a:1", "name", "n" }) << countSentence;
    QTest::newRow("count negative")
        << true << strings({ "count", "-1", "printer", "a:1", "name", "n" }) << countSentence;
    QTest::newRow("count words") << true
                                 << strings({ "count", "two", "printer", "a:1", "name", "n" })
                                 << countSentence;
    QTest::newRow("no count") << true << strings({ "printer", "a:1", "name", "n" })
                              << QStringLiteral("The form lacks the field \"count\".");
    QTest::newRow("count above items") << true
                                       << strings({ "count", "2", "printer", "a:1", "name", "n",
                                              "stls_1", "/a.stl", "profiles_1", "3" })
                                       << QStringLiteral("The form lacks the field \"stls_2\".");
    QTest::newRow("items from zero") << true
                                     << strings({ "count", "1", "printer", "a:1", "name", "n",
                                            "stls_0", "/a.stl", "profiles_0", "3" })
                                     << QStringLiteral("The form lacks the field \"stls_1\".");
    QTest::newRow("item without profile")
        << true << strings({ "count", "1", "printer", "a:1", "name", "n", "stls_1", "/a.stl" })
        << QStringLiteral("The form lacks the field \"profiles_1\".");
}

void TestSliceRequest::refusesBadForms()
{
    QFETCH(bool, advanced);
    QFETCH(QStringList, fields);
    QFETCH(QString, sentence);
    SliceRequest request;
    std::string error;
    const Form form = formOf(fields);
    QVERIFY(!(advanced ? parseAdvancedForm(form, request, error)
                       : parsePreviewForm(form, request, error)));
    QCOMPARE(QString::fromStdString(error), sentence);
}

void TestSliceRequest::splitsPrinterAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("port");
    QTest::newRow("ipv4") << QStringLiteral("192.168.0.10:80") << true
                          << QStringLiteral("192.168.0.10") << QStringLiteral("80");
    QTest::newRow("built-in") << QStringLiteral("local:dlp1080") << true << QStringLiteral("local")
                              << QStringLiteral("dlp1080");
    QTest::newRow("ipv6 keeps its colons") << QStringLiteral("fe80::1:8080") << true
                                           << QStringLiteral("fe80::1") << QStringLiteral("8080");
    QTest::newRow("no colon") << QStringLiteral("local") << false << QStringLiteral("")
                              << QStringLiteral("");
    QTest::newRow("no address") << QStringLiteral(":80") << false << QStringLiteral("")
                                << QStringLiteral("");
    QTest::newRow("no port") << QStringLiteral("host:") << false << QStringLiteral("")
                             << QStringLiteral("");
}

void TestSliceRequest::splitsPrinterAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    std::string ip;
    std::string port;
    QCOMPARE(splitPrinterAddress(text.toStdString(), ip, port), valid);
    if (valid) {
        QTEST(QString::fromStdString(ip), "ip");
        QTEST(QString::fromStdString(port), "port");
    }
}

void TestSliceRequest::parsesIntegers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << QStringLiteral("0") << true << 0;
    QTest::newRow("negative") << QStringLiteral("-17") << true << -17;
    QTest::newRow("int max") << QStringLiteral("2147483647") << true << 2147483647;
    QTest::newRow("int min") << QStringLiteral("-2147483648") << true << int(-2147483647 - 1);
    QTest::newRow("above int") << QStringLiteral("2147483648") << false << 0;
    QTest::newRow("eleven digits") << QStringLiteral("99999999999") << false << 0;
    QTest::newRow("plus sign") << QStringLiteral("+3") << false << 0;
    QTest::newRow("space") << QStringLiteral(" 3") << false << 0;
    QTest::newRow("minus only") << QStringLiteral("-") << false << 0;
    QTest::newRow("empty") << QStringLiteral("") << false << 0;
    QTest::newRow("decimal") << QStringLiteral("3.0") << false << 0;
}

void TestSliceRequest::parsesIntegers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    int value = 12345;
    QCOMPARE(parseInteger(text.toStdString(), value), valid);
    if (valid)
        QTEST(value, "value");
}

QTEST_GUILESS_MAIN(TestSliceRequest)
#include "tst_slicerequest.moc"
