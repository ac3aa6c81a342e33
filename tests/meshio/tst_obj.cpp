// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "obj.h"

#include <QTest>

// OBJ text as the programs that write it end their lines.
class TestObj : public QObject {
    Q_OBJECT

private:
    static bool parse(const QByteArray& text, Mesh& mesh, std::string& error)
    {
        return parseObj(reinterpret_cast<const unsigned char*>(text.constData()),
            std::size_t(text.size()), mesh, error);
    }

    // A quad and a triangle named by negative numbers, lines ended by `end`.
    static QByteArray quadAndTriangle(const QByteArray& end)
    {
        return QByteArray(
            "# by hand@v 0 0 0@v 10 0 0@v 10 6 0@v 0 6 0@@f 1 2 3 4@v 0 0 2@f -1 -5 -4")
            .replace('@', end);
    }

private slots:
    void readsEveryLineEnd_data()
    {
        QTest::addColumn<QByteArray>("end");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CRLF") << QByteArray("\r\n");
        QTest::newRow("CR") << QByteArray("\r");
    }

    void readsEveryLineEnd()
    {
        QFETCH(QByteArray, end);
        Mesh mesh;
        std::string error;
        QVERIFY2(parse(quadAndTriangle(end), mesh, error), error.c_str());
        QCOMPARE(mesh.triangleCount(), std::size_t(3));
        // The last triangle: vertex 5, then 1 and 2.
        const std::vector<float> last { 0, 0, 2, 0, 0, 0, 10, 0, 0 };
        QCOMPARE(std::vector<float>(mesh.xyz.end() - 9, mesh.xyz.end()), last);

        // Lines are counted the same whatever ends them: the blank one too.
        QVERIFY(!parse(quadAndTriangle(end) + end + "f 1 2 9", mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The OBJ file has a face naming vertex 9, which it does not define."));
        QVERIFY(!parse(quadAndTriangle(end) + end + "v 1 2", mesh, error));
        QCOMPARE(QString::fromStdString(error),
            QStringLiteral("The OBJ file has a vertex with fewer than three coordinates (line "
                           "10)."));
        QVERIFY(mesh.xyz.empty());
    }
};

QTEST_GUILESS_MAIN(TestObj)
#include "tst_obj.moc"
