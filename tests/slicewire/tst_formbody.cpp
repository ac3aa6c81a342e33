// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "formbody.h"

#include <QTest>

Q_DECLARE_METATYPE(FormItems)

class TestFormBody : public QObject {
    Q_OBJECT

private slots:
    void body_data()
    {
        QTest::addColumn<FormItems>("items");
        QTest::addColumn<QByteArray>("expected");

        const auto item = [](const char* key, const char* value) {
            return qMakePair(QString::fromUtf8(key), QString::fromUtf8(value));
        };
        QTest::newRow("no items") << FormItems {} << QByteArray();
        QTest::newRow("order kept, slashes and colons literal") << FormItems {
            item("stl", "/home/u/jobs/part.stl"), item("printer", "192.0.2.10:80"),
            item("profile", "3"), item("name", "job one")
        } << QByteArray("stl=/home/u/jobs/part.stl&printer=192.0.2.10:80&profile=3&name=job%20one");
        QTest::newRow("order is not sorted")
            << FormItems { item("z", "1"), item("a", "2") } << QByteArray("z=1&a=2");
        QTest::newRow("delimiters escaped") << FormItems { item("name", "a & b"),
            item("x=y", "1=2#3") } << QByteArray("name=a%20%26%20b&x%3Dy=1%3D2%233");
        QTest::newRow("plus in value") << FormItems { item("stl", "/home/u/c++/part.stl") }
                                       << QByteArray("stl=/home/u/c%2B%2B/part.stl");
        QTest::newRow("plus in key and value")
            << FormItems { item("a+b", "a+b") } << QByteArray("a%2Bb=a%2Bb");
        QTest::newRow("percent stays distinct from plus")
            << FormItems { item("name", "50% %2B") } << QByteArray("name=50%25%20%252B");
        QTest::newRow("non-ASCII as UTF-8 bytes")
            << FormItems { item("name", "t\xc3\xa9st \xe2\x82\xac") }
            << QByteArray("name=t%C3%A9st%20%E2%82%AC");
        QTest::newRow("empty values kept") << FormItems { item("printer", ":"), item("name", "") }
                                           << QByteArray("printer=:&name=");
        QTest::newRow("repeated keys kept")
            << FormItems { item("k", "1"), item("k", "1") } << QByteArray("k=1&k=1");
    }

    void body()
    {
        QFETCH(FormItems, items);
        QFETCH(QByteArray, expected);
        QCOMPARE(formBody(items), expected);
    }
};

QTEST_GUILESS_MAIN(TestFormBody)
#include "tst_formbody.moc"
