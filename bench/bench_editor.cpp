// The channel bank editor opened on a bank whose one cell holds a very long
// text: the time until the grid is drawn and the memory it takes. Then, on
// 1000 channels: a paste of 1000 rows, its undo, and Find across all banks.
//
// usage: bench-editor [megabytes]   (10 unless given)

#include "data/ChannelDatabase.h"
#include "data/BankTables.h"
#include "ui/EditorHistory.h"
#include "ui/ScannerBankEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

#include <algorithm>
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

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// 1000 channels in 20 banks; a paste over all of them, undone; Find.
int thousandChannels(const QString &path)
{
    {
        ChannelDatabase db(path, QStringLiteral("bench-fill-all"));
        QString error;
        if (!db.open(&error))
            return 1;
        db.database().transaction();
        for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
            QSqlQuery q(db.database());
            q.prepare(QStringLiteral("INSERT INTO %1 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME, NOTES) "
                                     "VALUES (?, 151.0, '151.0000', ?, 'note')")
                          .arg(ChannelDatabase::bankTableName(bank)));
            for (int c = 1; c <= ChannelDatabase::kChannelsPerBank; ++c) {
                const int channel = (bank - 1) * ChannelDatabase::kChannelsPerBank + c;
                q.addBindValue(channel);
                q.addBindValue(channel == 1000 ? QStringLiteral("Harbor Patrol") : QStringLiteral("Company %1").arg(channel));
                q.exec();
            }
        }
        db.database().commit();
    }
    ScannerBankEditor editor(path, [](MessageKind, const QString &, const QString &) { return true; });
    if (!editor.load())
        return 1;
    editor.show();
    QElapsedTimer cold;
    cold.start();
    // The first Find reads the 19 banks not open yet.
    if (!editor.find({QStringLiteral("harbor"), QString()}) || editor.currentBank() != 20)
        return 1;
    std::printf("first find across 20 banks, reading the 19 not open: %.1f ms\n", msSince(cold));
    editor.selectBank(1);
    QString block;
    for (int line = 0; line < 1000; ++line)
        block += QStringLiteral("%1.%2\t1\t0\t1\t0\tCALL%3\tPasted %3\n").arg(152 + line % 300).arg(line % 10000, 4, 10, QLatin1Char('0')).arg(line);
    editor.grid()->setCurrentIndex(editor.grid()->model()->index(0, editor.model()->fieldIndex(QStringLiteral("FREQUENCY"))));
    QElapsedTimer timer;
    timer.start();
    if (!editor.paste(block))
        return 1;
    const double pasteMs = msSince(timer);
    QUndoStack *stack = editor.history()->stack();
    QList<double> undoMs;
    QList<double> redoMs;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        stack->undo();
        QCoreApplication::processEvents();
        undoMs << msSince(timer);
        timer.restart();
        stack->redo();
        QCoreApplication::processEvents();
        redoMs << msSince(timer);
    }
    std::sort(undoMs.begin(), undoMs.end());
    std::sort(redoMs.begin(), redoMs.end());
    std::printf("paste of 1000 rows over 20 banks: %.1f ms; undo: median %.1f ms (max %.1f); redo: median %.1f ms "
                "(max %.1f)\n",
                pasteMs, undoMs.at(2), undoMs.last(), redoMs.at(2), redoMs.last());
    stack->undo();
    // Find: every bank open already (the paste opened them), a text in the last channel.
    editor.selectBank(1);
    QList<double> findMs;
    for (int round = 0; round < 20; ++round) {
        editor.selectBank(1);
        timer.restart();
        if (!editor.find({QStringLiteral("harbor"), QString()}) || editor.currentBank() != 20) {
            std::fprintf(stderr, "find: not found (bank %d)\n", editor.currentBank());
            return 1;
        }
        findMs << msSince(timer);
    }
    std::sort(findMs.begin(), findMs.end());
    QList<double> freqMs;
    for (int round = 0; round < 20; ++round) {
        editor.selectBank(1);
        timer.restart();
        if (!editor.find({QStringLiteral("999.9"), QStringLiteral("FREQUENCY")}) && editor.currentBank() != 1)
            return 1;
        freqMs << msSince(timer);
    }
    std::sort(freqMs.begin(), freqMs.end());
    std::printf("find across 20 banks (1000 channels), text in channel 1000: median %.2f ms (max %.2f); "
                "a frequency nowhere: median %.2f ms (max %.2f)\n",
                findMs.at(10), findMs.last(), freqMs.at(10), freqMs.last());
    return 0;
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
    {
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
    }
    return thousandChannels(dir.filePath(QStringLiteral("Thousand.db")));
}
