// The Talkgroup Activity window over a database with 10,000 recordings: the
// calls of 30 days (talkgroups and channels, each named from its table), most
// of them recorded, some recordings without their call's row, and as many
// calls again without a recording. Measured: the window's first load and its
// refresh (list and summary read again, the view updated), and the list
// alone under the filters.
//
// usage: bench-listening [recordings] (default 10000)

#include "BenchSupport.h"
#include "data/ActivityModels.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"
#include "ui/ActivityWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr int kTalkgroups = 500;

bool fill(const QString &path, int recordings, const QDateTime &now)
{
    ChannelDatabase db(path, QStringLiteral("bench-fill"));
    QString error;
    if (!db.open(&error)) {
        std::printf("cannot make the database: %s\n", qPrintable(error));
        return false;
    }
    QSqlQuery q(db.database());
    q.exec(QStringLiteral("BEGIN"));
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        q.prepare(QStringLiteral("INSERT INTO %1 (CHANNEL, sFREQ, COMPANY_NAME, CITY) VALUES (?, ?, ?, ?)")
                      .arg(ChannelDatabase::bankTableName(bank)));
        for (int c = 1; c <= ChannelDatabase::kChannelsPerBank; ++c) {
            const int channel = (bank - 1) * ChannelDatabase::kChannelsPerBank + c;
            q.addBindValue(channel);
            q.addBindValue(QStringLiteral("%1.0000").arg(150 + channel % 300));
            q.addBindValue(QStringLiteral("Company %1").arg(channel));
            q.addBindValue(QStringLiteral("City %1").arg(channel % 40));
            q.exec();
        }
    }
    q.prepare(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC) VALUES (?, ?, ?)"));
    for (int t = 0; t < kTalkgroups; ++t) {
        q.addBindValue(QString::number(1000 + t));
        q.addBindValue(QStringLiteral("City %1").arg(t % 40));
        q.addBindValue(QStringLiteral("Service %1").arg(t));
        q.exec();
    }
    QSqlQuery tg(db.database()), ch(db.database()), rec(db.database());
    tg.prepare(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES (?, 'C', ?)"));
    ch.prepare(QStringLiteral("INSERT INTO CHANNEL_ACTIVITY (CHANNEL, FREQUENCY, HEARD) VALUES (?, ?, ?)"));
    rec.prepare(QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, CHANNEL, FREQUENCY, "
                               "TALKGROUP, ACTIVITY, CHANNEL_ACTIVITY, BYTES) VALUES (?, ?, ?, 5.0, ?, ?, ?, ?, ?, 40000)"));
    const qint64 stepMs = 30LL * 86400000 / (2 * recordings);
    for (int i = 0; i < 2 * recordings; ++i) {
        const QDateTime at = now.addMSecs(-stepMs * i);
        const QString heard = TalkgroupActivityLog::heardText(at);
        const bool talkgroup = i % 2 == 0;
        const QString id = QString::number(1000 + i % kTalkgroups);
        const QString channel = QStringLiteral("%1").arg(i % 1000 + 1, 3, 10, QLatin1Char('0'));
        const QString frequency = QStringLiteral("%1.0000").arg(150 + (i % 1000 + 1) % 300);
        // Every other call recorded; one recording in ten without its call's row.
        const bool recorded = i % 4 < 2;
        const bool unlisted = recorded && i % 20 == 0;
        QVariant activity, channelActivity;
        if (!unlisted) {
            QSqlQuery &insert = talkgroup ? tg : ch;
            if (talkgroup) {
                insert.addBindValue(id);
            } else {
                insert.addBindValue(channel);
                insert.addBindValue(frequency);
            }
            insert.addBindValue(heard);
            insert.exec();
            (talkgroup ? activity : channelActivity) = insert.lastInsertId();
        }
        if (!recorded)
            continue;
        rec.addBindValue(QStringLiteral("/recordings/%1.flac").arg(i));
        rec.addBindValue(heard);
        rec.addBindValue(TalkgroupActivityLog::heardText(at.addSecs(5)));
        rec.addBindValue(talkgroup ? QVariant() : QVariant(channel));
        rec.addBindValue(talkgroup ? QVariant() : QVariant(frequency));
        rec.addBindValue(talkgroup ? QVariant(id) : QVariant());
        rec.addBindValue(activity);
        rec.addBindValue(channelActivity);
        rec.exec();
    }
    q.exec(QStringLiteral("COMMIT"));
    q.exec(QStringLiteral("ANALYZE"));
    return true;
}

// Median and longest of seven runs.
void measure(const char *name, const std::function<int()> &run)
{
    QList<double> ms;
    int rows = 0;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer timer;
        timer.start();
        rows = run();
        ms << timer.nsecsElapsed() / 1e6;
    }
    std::printf("  %-34s median %7.2f ms, max %7.2f ms (%d rows shown)\n", name, Bench::quantile(ms, 0.5),
                Bench::quantile(ms, 1.0), rows);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "orvendal.*.debug=false\norvendal.*.info=false");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int recordings = qMax(1, argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 10000);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Orvendal.db"));
    const QDateTime now = QDateTime::currentDateTime();
    if (!fill(path, recordings, now))
        return 1;
    {
        ChannelDatabase db(path, QStringLiteral("bench-count"));
        QString error;
        db.open(&error);
        QSqlQuery q(db.database());
        q.exec(QStringLiteral("SELECT (SELECT count(*) FROM RECORDINGS), (SELECT count(*) FROM TALKGROUP_ACTIVITY), "
                              "(SELECT count(*) FROM CHANNEL_ACTIVITY)"));
        q.next();
        std::printf("database: %d recordings, %d talkgroup calls, %d channel calls (target < 50 ms; the list shows "
                    "the newest %d)\n",
                    q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), ActivityQueryModel::kShownRows);
    }
    bool ok = true;
    ActivityWindow window(path, nullptr, [&ok](MessageKind, const QString &, const QString &text) {
        std::printf("message: %s\n", qPrintable(text));
        ok = false;
        return false;
    });
    QElapsedTimer first;
    first.start();
    window.load();
    const double loadMs = first.nsecsElapsed() / 1e6;
    window.show();
    std::printf("activity window:\n  first load (connection, list, summary) %6.2f ms, shown %.2f ms after (%d rows)\n",
                loadMs, first.nsecsElapsed() / 1e6 - loadMs, window.listModel()->rowCount());
    measure("refresh (list and summary)", [&] {
        window.refresh();
        return window.listModel()->rowCount();
    });
    ChannelDatabase db(path, QStringLiteral("bench-view"));
    QString error;
    db.open(&error);
    ActivityListModel list(db.database());
    const struct
    {
        const char *name;
        ActivityFilter filter;
    } cases[] = {
        {"list, everything", {}},
        {"list, one talkgroup", {QStringLiteral("1234"), {}, {}}},
        {"list, last 24 hours", {QString(), now.addDays(-1), {}}},
        {"list, last 7 days", {QString(), now.addDays(-7), {}}},
    };
    for (const auto &c : cases) {
        measure(c.name, [&] {
            if (!list.apply(c.filter, &error)) {
                std::printf("failed: %s\n", qPrintable(error));
                ok = false;
            }
            return list.rowCount();
        });
    }
    return ok ? 0 : 1;
}
