// The channel bank editor opened on a bank whose one cell holds a very long
// text: the time until the grid is drawn and the memory it takes.
//
// usage: bench-editor [megabytes]   (10 unless given)

#include "data/ChannelDatabase.h"
#include "ui/ScannerBankEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// A line of /proc/self/status in kilobytes ("VmRSS", "VmHWM").
long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? atoi(argv[1]) : 10;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Orvendal.db"));
    {
        ChannelDatabase db(path, QStringLiteral("bench-fill"));
        QString error;
        if (!db.open(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        QSqlQuery q(db.database());
        db.database().transaction();
        q.prepare(QStringLiteral("INSERT INTO BANK01 (CHANNEL, FREQUENCY, sFREQ, NOTES) VALUES (?, 154.415, '154.4150', ?)"));
        for (int channel = 1; channel <= 50; ++channel) {
            q.addBindValue(channel);
            q.addBindValue(channel == 2 ? QString(megabytes * 1024 * 1024, QLatin1Char('x')) : QStringLiteral("note"));
            q.exec();
        }
        db.database().commit();
    }
    const long rssBefore = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    ScannerBankEditor editor(path, [](MessageKind, const QString &, const QString &text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return true;
    });
    if (!editor.load())
        return 1;
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return 1;
    QCoreApplication::processEvents();
    const qint64 openMs = timer.elapsed();
    std::printf("bank editor, one cell of %d MB: open and drawn in %lld ms; memory %+ld MB (peak %ld MB)\n", megabytes,
                openMs, (statusKb("VmRSS:") - rssBefore) / 1024, statusKb("VmHWM:") / 1024);
    return 0;
}
