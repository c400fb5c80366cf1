// The CSV reader and writer: quoting, line breaks, comments, byte-order mark,
// strictness, and random input in random pieces.

#include "data/CsvReader.h"
#include "data/CsvWriter.h"

#include <QTest>

#include <random>

class TestCsv : public QObject
{
    Q_OBJECT
private slots:
    void readsQuotesBreaksCommentsAndBom();
    void tellsNullFromEmpty();
    void refusesMalformedRecordsAndGoesOn();
    void fuzzRandomBytesInRandomPieces();
    void fuzzRecordsRoundTrip();
};

namespace {

CsvReader readInPieces(const QByteArray &bytes, std::mt19937 &random)
{
    CsvReader reader;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype n = std::uniform_int_distribution<qsizetype>(0, std::min<qsizetype>(7, bytes.size() - at))(random);
        reader.feed(QByteArrayView(bytes).sliced(at, n));
        at += n;
    }
    reader.finish();
    return reader;
}

} // namespace

void TestCsv::readsQuotesBreaksCommentsAndBom()
{
    const QByteArray text = "\xEF\xBB\xBF# a comment, \"with quotes\r\n"
                            "a,b,c\r\n"
                            "\r\n"
                            "\"x, y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n"
                            "# another\n"
                            "\xC3\xA9t\xC3\xA9,2,\"\xEF\xBB\xBF" "kept\"\r"
                            "last,,";
    CsvReader reader = CsvReader::parse(text);
    QVERIFY(reader.problems().isEmpty());
    const QList<CsvReader::Record> records = reader.takeRecords();
    QCOMPARE(records.size(), 4);
    QCOMPARE(records[0].line, 2);
    QCOMPARE(records[0].fields, (QStringList{"a", "b", "c"}));
    QCOMPARE(records[1].line, 4);
    QCOMPARE(records[1].fields, (QStringList{"x, y", "say \"hi\"", "two\r\nlines"}));
    QCOMPARE(records[2].line, 7);
    QCOMPARE(records[2].fields, (QStringList{QString::fromUtf8("été"), "2", QString(QChar(0xFEFF)) + "kept"}));
    QCOMPARE(records[3].line, 8);
    QCOMPARE(records[3].fields.size(), 3);
}

void TestCsv::tellsNullFromEmpty()
{
    const QList<CsvReader::Record> records = CsvReader::parse("a,,\"\"\n").takeRecords();
    QCOMPARE(records.size(), 1);
    QVERIFY(records[0].fields[1].isNull());
    QVERIFY(!records[0].fields[2].isNull());
    QVERIFY(records[0].fields[2].isEmpty());

    QByteArray out;
    CsvWriter::appendRecord(&out, {QString(), QLatin1String(""), "#x", " pad", "a,b"});
    CsvWriter::appendRecord(&out, {QString()});
    QCOMPARE(out, QByteArray(",\"\",\"#x\",\" pad\",\"a,b\"\r\n\"\"\r\n"));
}

void TestCsv::refusesMalformedRecordsAndGoesOn()
{
    const QByteArray text = "ok,1\n"
                            "bad\"quote,2\n"
                            "\"closed\"after,3\n"
                            "bad\xFF" "utf8,4\n"
                            "ok,5\n"
                            "\"never closed,6\nok,7\n";
    CsvReader reader = CsvReader::parse(text);
    const QList<CsvReader::Record> records = reader.takeRecords();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].fields, (QStringList{"ok", "1"}));
    QCOMPARE(records[1].fields, (QStringList{"ok", "5"}));
    QList<int> lines;
    for (const CsvReader::Problem &p : reader.problems()) {
        lines << p.line;
        QVERIFY(!p.message.isEmpty());
    }
    QCOMPARE(lines, (QList<int>{2, 3, 4, 6}));
}

void TestCsv::fuzzRandomBytesInRandomPieces()
{
    std::mt19937 random(4410);
    const char alphabet[] = {',', '"', '\r', '\n', '#', 'a', '1', ' ', '\xEF', '\xBB', '\xBF', '\xC3', '\xA9', '\xFF'};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int length = std::uniform_int_distribution<int>(0, 200)(random);
        for (int i = 0; i < length; ++i) {
            bytes.append(random() % 3 == 0 ? char(random() % 256)
                                           : alphabet[random() % sizeof(alphabet)]);
        }
        CsvReader whole = CsvReader::parse(bytes);
        CsvReader pieces = readInPieces(bytes, random);
        // However the text is cut, it reads the same.
        const QList<CsvReader::Record> a = whole.takeRecords();
        const QList<CsvReader::Record> b = pieces.takeRecords();
        QCOMPARE(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            QCOMPARE(a[i].line, b[i].line);
            QCOMPARE(a[i].fields, b[i].fields);
        }
        QCOMPARE(whole.problems().size(), pieces.problems().size());
    }
}

void TestCsv::fuzzRecordsRoundTrip()
{
    std::mt19937 random(1000);
    const QString pieces[] = {"a", ",", "\"", "\r\n", "\n", "\r", "#", " ", QString::fromUtf8("é"), QString(QChar(0xFEFF)),
                              QString::fromUtf8("\xF0\x9F\x93\xBB"), "154.4150", ""};
    for (int round = 0; round < 500; ++round) {
        QList<QStringList> written;
        QByteArray out;
        const int count = std::uniform_int_distribution<int>(0, 8)(random);
        for (int r = 0; r < count; ++r) {
            QStringList record;
            const int fields = std::uniform_int_distribution<int>(1, 6)(random);
            for (int f = 0; f < fields; ++f) {
                QString value;
                if (random() % 5 != 0) {
                    value = QLatin1String("");
                    for (int n = random() % 5; n > 0; --n)
                        value += pieces[random() % std::size(pieces)];
                }
                record << value;
            }
            if (record.size() == 1 && record[0].isNull())
                record[0] = QLatin1String(""); // written as "", see CsvWriter
            written << record;
            CsvWriter::appendRecord(&out, record);
        }
        CsvReader reader = readInPieces(out, random);
        QVERIFY(reader.problems().isEmpty());
        const QList<CsvReader::Record> read = reader.takeRecords();
        QCOMPARE(read.size(), written.size());
        for (qsizetype i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].fields, written[i]);
            for (qsizetype f = 0; f < written[i].size(); ++f)
                QCOMPARE(read[i].fields[f].isNull(), written[i][f].isNull());
        }
    }
}

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
