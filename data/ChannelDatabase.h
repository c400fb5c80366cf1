#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QList>
#include <QMap>

#include "data/ChannelRecord.h"

#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcDatabase)

// The channel database: one SQLite file with a table per bank (BANK01 ..
// BANK20) and the talkgroup log (TALKGROUPS). This module alone knows the
// schema, the table names and how connections are opened; the rest of the
// program goes through it.
class ChannelDatabase
{
public:
    static constexpr int kBanks = 20;
    static constexpr int kChannelsPerBank = 50;

    // "BANK01" .. "BANK09", "BANK10" .. "BANK20".
    static QString bankTableName(int bank);
    // The bank holding an absolute channel 1..1000 (1..50 in bank 1); 0 outside.
    static int bankOfChannel(int channel);
    // SQLITE_BUSY or SQLITE_LOCKED: another connection holds the file locked.
    static bool isBusy(const QSqlError &error);

    // path: the database file. connectionName: a name of its own per user of
    // the file (the lookups, a transfer, an editor). busyMillis: how long a
    // statement waits for another writer to finish before it fails.
    ChannelDatabase(const QString &path, const QString &connectionName, int busyMillis = 2000);
    ~ChannelDatabase();
    ChannelDatabase(const ChannelDatabase &) = delete;
    ChannelDatabase &operator=(const ChannelDatabase &) = delete;

    QString path() const { return m_path; }
    // Opens the file, creating it when it does not exist, and brings it up to
    // this program's tables (see DatabaseSchema). False, with *error, when it
    // cannot be used; a file written by a newer program is refused untouched.
    bool open(QString *error);
    bool isOpen() const;
    void close();
    QSqlDatabase database() const;

    struct ChannelNotes
    {
        QString companyName; // empty for NULL
        QString notes;
    };
    // The row of an absolute channel. No value when there is none; false
    // with *error when the database fails.
    bool lookupChannel(int channel, std::optional<ChannelNotes> *found, QString *error);

    struct Talkgroup
    {
        QString id;
        QString city;
        QString serviceDesc;
        QString notes;
    };
    bool lookupTalkgroup(const QString &id, std::optional<Talkgroup> *found, QString *error);
    bool addTalkgroup(const Talkgroup &talkgroup, const QDateTime &when, QString *error);

    // Stores the channels read from the scanner in a bank's table, in one
    // transaction: the first row of each channel gets the scanner's values,
    // a channel without a row gets a new one, and every other row (a second
    // row for a channel, a row without a channel or with a channel outside
    // the bank) is left exactly as it is; *otherRows says how many there are.
    // On failure the table is left as it was.
    bool storeBank(int bank, const QList<ChannelRecord> &channels, int *otherRows, QString *error);
    // Whether the last open, lookup or storeBank failed only because another
    // connection held the database locked, so that trying again later may work.
    bool lastFailureWasBusy() const { return m_lastFailureBusy; }
    // The frequency a restore types for each channel of a bank (the first row
    // of a channel where there are several), as Frequency::restoreText gives
    // it: the scanner's text, "000.000" for an empty channel, or a null
    // value for a row with nothing that could be typed.
    bool bankFrequencies(int bank, QMap<int, QVariant> *frequencies, QString *error);

private:
    // The statement in the slot, prepared on first use; null (with *error)
    // when it cannot be.
    QSqlQuery *prepared(std::optional<QSqlQuery> &slot, const QString &sql, QString *error);
    bool run(QSqlQuery *query, const QVariantList &values, QString *error);

    QString m_path;
    QString m_connection;
    int m_busyMillis;
    bool m_lastFailureBusy = false;
    struct Queries;
    std::unique_ptr<Queries> m_queries;
};
