// Exports the 1000 channels of a full database to CSV and imports them back
// (into emptied tables, and over the channels already there), and prints the
// times against the target of 200 ms each. Then plans the import of files
// just under the size limit made of tiny lines, and prints the time and the
// memory the program grew to.
//
// usage: bench-csv [runs] (default 10)

#include "BenchSupport.h"
#include "data/BankCsv.h"
#include "data/ChannelDatabase.h"
#include "data/ChannelRecord.h"
#include "data/TalkgroupCsv.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <QFile>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

namespace {

bool fill(ChannelDatabase &db)
{
    QString error;
    int other = 0;
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        QList<ChannelRecord> channels;
        for (int c = 1; c <= ChannelDatabase::kChannelsPerBank; ++c) {
            ChannelRecord r;
            r.channel = (bank - 1) * ChannelDatabase::kChannelsPerBank + c;
            const qint64 units = 1080000 + r.channel * 1250;
            r.sFreq = QStringLiteral("%1.%2").arg(units / 10000, 3, 10, QLatin1Char('0')).arg(units % 10000, 4, 10, QLatin1Char('0'));
            r.frequency = units / 10000.0;
            r.lockout = c % 7 == 0;
            channels << r;
        }
        if (!db.storeBank(bank, channels, &other, &error))
            return false;
        QSqlQuery q(db.database());
        if (!q.exec(QStringLiteral("UPDATE %1 SET CALLSIGN = 'KAB' || CHANNEL, COMPANY_NAME = 'County, \"Fire\" ' || CHANNEL, "
                                   "CITY = 'Springfield', STATE = 'ST', NOTES = 'Dispatch' || char(10) || 'second line'")
                        .arg(ChannelDatabase::bankTableName(bank))))
            return false;
    }
    return true;
}

double timeMs(const std::function<bool()> &run)
{
    const qint64 start = Bench::monotonicNs();
    if (!run())
        return -1;
    return (Bench::monotonicNs() - start) / 1e6;
}

void print(const char *what, const QList<double> &ms)
{
    std::printf("  %-34s median %7.1f ms   max %7.1f ms   %s\n", what, Bench::quantile(ms, 0.5), Bench::quantile(ms, 1.0),
                Bench::quantile(ms, 1.0) < 200 ? "(under 200 ms)" : "(OVER 200 ms)");
}

// The most memory the process has held so far, in MB.
double peakMb()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// A file of `line` repeated up to just under the limit, after a header.
bool writeLarge(const QString &path, const QByteArray &header, const QByteArray &line)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    while (block.size() < 1024 * 1024 - line.size())
        block += line;
    f.write(header);
    while (f.size() + block.size() < CsvTable::kMaxBytes - 4096)
        f.write(block);
    return true;
}

void large(ChannelDatabase &db, const QString &dir)
{
    struct Case
    {
        const char *what;
        QByteArray header;
        QByteArray line;
        bool talkgroups;
    };
    const QList<Case> cases = {
        {"channels, every line refused", "Location,Frequency\n", "1\n", false},
        {"channels, empty fields", "Location,Frequency,Name\n", ",,\n", false},
        {"talkgroups, every line refused", "ID,CITY\n", "x\n", true},
    };
    for (const Case &c : cases) {
        const QString path = dir + QStringLiteral("/large.csv");
        if (!writeLarge(path, c.header, c.line)) {
            std::printf("cannot write %s\n", qPrintable(path));
            return;
        }
        int refused = 0;
        const double ms = timeMs([&] {
            const ImportPlan plan = c.talkgroups ? TalkgroupCsv::plan(db, path)
                                                 : BankCsv::plan(db, path, BankCsv::Placement::ByLocation, 1);
            refused = plan.refusedCount();
            return plan.isUsable();
        });
        std::printf("  %-34s %6.1f MB  %8d lines refused  %8.0f ms  peak memory %6.0f MB\n", c.what,
                    QFile(path).size() / 1048576.0, refused, ms, peakMb());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvendal.*.info=false"));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    ChannelDatabase db(dir.filePath(QStringLiteral("Orvendal.db")), QStringLiteral("bench"));
    QString error;
    if (!db.open(&error) || !fill(db)) {
        std::printf("cannot prepare the database: %s\n", qPrintable(error));
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("banks.csv"));
    QList<double> exports, intoEmpty, overFull;
    for (int run = 0; run < runs; ++run) {
        int rows = 0;
        exports << timeMs([&] { return BankCsv::exportTo(db, path, &rows, &error) && rows == 1000; });
        overFull << timeMs([&] {
            const ImportPlan plan = BankCsv::plan(db, path, BankCsv::Placement::ByLocation, 1);
            return plan.rowCount() == 1000 && plan.apply(db, &error);
        });
        for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
            QSqlQuery(db.database()).exec(QStringLiteral("DELETE FROM %1").arg(ChannelDatabase::bankTableName(bank)));
        intoEmpty << timeMs([&] {
            const ImportPlan plan = BankCsv::plan(db, path, BankCsv::Placement::ByLocation, 1);
            return plan.rowCount() == 1000 && plan.apply(db, &error);
        });
    }
    if (exports.contains(-1) || overFull.contains(-1) || intoEmpty.contains(-1)) {
        std::printf("a run failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("CSV of 1000 channels, %d runs:\n", runs);
    print("export", exports);
    print("import into empty banks", intoEmpty);
    print("import over every channel", overFull);
    std::printf("Planning the import of files just under the %lld MB limit:\n", CsvTable::kMaxBytes / 1048576);
    large(db, dir.path());
    return 0;
}
