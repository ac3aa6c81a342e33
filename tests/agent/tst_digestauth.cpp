// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "digestauth.h"

#include <QTest>

class TestDigestAuth : public QObject {
    Q_OBJECT

private slots:
    void answersTheStandardExamples_data();
    void answersTheStandardExamples();
    void readsChallenges_data();
    void readsChallenges();
    void headerCarriesEverythingTheHostChecks();
};

void TestDigestAuth::answersTheStandardExamples_data()
{
    QTest::addColumn<QString>("challenge");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("cnonce");
    QTest::addColumn<QString>("response");
    // RFC 2617, section 3.5.
    QTest::newRow("RFC 2617 MD5") << QStringLiteral(
        "Digest realm=\"testrealm@host.com\", qop=\"auth,auth-int\", "
        "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
        "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"")
                                  << QStringLiteral("Circle Of Life") << QStringLiteral("0a4f113b")
                                  << QStringLiteral("6629fae49393a05397450978507c4ef1");
    // RFC 7616, section 3.9.1, with each of its two algorithms.
    const QString rfc7616 = QStringLiteral(
        "Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", algorithm=%1, "
        "nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", "
        "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"");
    const QString cnonce = QStringLiteral("f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ");
    QTest::newRow("RFC 7616 MD5") << rfc7616.arg(QStringLiteral("MD5"))
                                  << QStringLiteral("Circle of Life") << cnonce
                                  << QStringLiteral("8ca523f5e9506fed4657c9700eebdbec");
    QTest::newRow("RFC 7616 SHA-256")
        << rfc7616.arg(QStringLiteral("SHA-256")) << QStringLiteral("Circle of Life") << cnonce
        << QStringLiteral("753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

void TestDigestAuth::answersTheStandardExamples()
{
    QFETCH(QString, challenge);
    QFETCH(QString, password);
    QFETCH(QString, cnonce);
    QFETCH(QString, response);
    DigestChallenge parsed;
    QVERIFY(parseDigestChallenge(challenge.toStdString(), parsed));
    QCOMPARE(QString::fromStdString(digestResponse(parsed, "Mufasa", password.toStdString(), "GET",
                 "/dir/index.html", 1, cnonce.toStdString())),
        response);
}

void TestDigestAuth::readsChallenges_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("answerable");
    QTest::addColumn<bool>("qopAuth");
    QTest::addColumn<QString>("realm");
    QTest::newRow("no qop (RFC 2069)") << QStringLiteral("Digest realm=\"r\", nonce=\"n\"") << true
                                       << false << QStringLiteral("r");
    QTest::newRow("scheme in lower case, unquoted qop")
        << QStringLiteral("digest realm=\"r\",nonce=\"n\",qop=auth") << true << true
        << QStringLiteral("r");
    QTest::newRow("escaped quote in the realm")
        << QStringLiteral("Digest realm=\"a \\\"b\\\"\", nonce=\"n\", qop=\"auth\"") << true << true
        << QStringLiteral("a \"b\"");
    QTest::newRow("Basic") << QStringLiteral("Basic realm=\"r\"") << false << false << QString();
    QTest::newRow("Basic listed first")
        << QStringLiteral("Basic realm=\"Digest x\", Digest realm=\"r\", nonce=\"n\"") << true
        << false << QStringLiteral("r");
    QTest::newRow("line break in the nonce")
        << QStringLiteral("Digest realm=\"r\", nonce=\"a\r\nX-Injected: 1\"") << false << false
        << QString();
    QTest::newRow("only auth-int")
        << QStringLiteral("Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\"") << false << false
        << QString();
    QTest::newRow("unknown algorithm")
        << QStringLiteral("Digest realm=\"r\", nonce=\"n\", algorithm=SHA-512-256") << false
        << false << QString();
    QTest::newRow("no nonce") << QStringLiteral("Digest realm=\"r\"") << false << false
                              << QString();
    QTest::newRow("empty") << QString() << false << false << QString();
}

void TestDigestAuth::readsChallenges()
{
    QFETCH(QString, header);
    QFETCH(bool, answerable);
    QFETCH(bool, qopAuth);
    QFETCH(QString, realm);
    DigestChallenge challenge;
    bool tooLong = true;
    QCOMPARE(parseDigestChallenge(header.toStdString(), challenge, tooLong), answerable);
    QVERIFY(!tooLong);
    if (answerable) {
        QCOMPARE(challenge.qopAuth, qopAuth);
        QCOMPARE(QString::fromStdString(challenge.realm), realm);
    }
}

void TestDigestAuth::headerCarriesEverythingTheHostChecks()
{
    DigestChallenge challenge;
    QVERIFY(parseDigestChallenge(
        "Digest realm=\"r\", nonce=\"n\", qop=\"auth\", opaque=\"o\"", challenge));
    const QString header = QString::fromStdString(
        digestAuthorization(challenge, "a\"b", "pw", "PUT", "/api/v1/files/local/x.sl1", 2, "c"));
    const QString response = QString::fromStdString(
        digestResponse(challenge, "a\"b", "pw", "PUT", "/api/v1/files/local/x.sl1", 2, "c"));
    QCOMPARE(header,
        QStringLiteral("Digest username=\"a\\\"b\", realm=\"r\", nonce=\"n\", "
                       "uri=\"/api/v1/files/local/x.sl1\", algorithm=MD5, response=\"%1\", "
                       "qop=auth, nc=00000002, cnonce=\"c\", opaque=\"o\"")
            .arg(response));
}

QTEST_GUILESS_MAIN(TestDigestAuth)
#include "tst_digestauth.moc"
