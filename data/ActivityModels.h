#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QString>

class QIODevice;

// What the talkgroup activity view shows: one talkgroup ID or every one, and
// a time span (an invalid end is open).
struct ActivityFilter
{
    QString id; // empty for every talkgroup
    QDateTime from;
    QDateTime to;
};

// A query over the activity log under a filter; the subclasses say which.
// Times are stored in UTC and shown in local time (HEARD, LAST_HEARD).
// The model holds at most kShownRows rows, all fetched at once, so that it
// never keeps a read open on the file (an open read stops the write-ahead
// log from starting over, and it would grow while the view is open); the
// export has every row.
class ActivityQueryModel : public QSqlQueryModel
{
    Q_OBJECT
public:
    static constexpr int kShownRows = 5000;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Runs the query for the filter; false, with *error, when it fails.
    bool apply(const ActivityFilter &filter, QString *error);
    // Every row under the filter, with the header, as CSV records in UTF-8.
    bool exportCsv(QIODevice *out, QString *error) const;
    bool refresh(QString *error) { return apply(m_filter, error); }
    const ActivityFilter &filter() const { return m_filter; }

protected:
    ActivityQueryModel(QSqlDatabase db, QObject *parent);
    // The statement for a WHERE clause (empty for none) over rows with the
    // columns ID and HEARD, at most limit rows (0: every row; a LIMIT is
    // added after it all the same). The clause may be used several times:
    // its values are bound whereUses() times over.
    virtual QString statement(const QString &where, int limit) const = 0;
    virtual int whereUses() const { return 1; }
    QSqlDatabase database() const { return m_db; }

private:
    QSqlDatabase m_db;
    ActivityFilter m_filter;
};

// The calls that pass the filter, newest first: HEARD, ID, BANK, CHANNEL,
// FREQUENCY, NAME, CITY, RECORDING, FILE. A talkgroup's row (ID, BANK) has
// its service and city from TALKGROUPS; a channel's call (CHANNEL,
// FREQUENCY) the company name and city of the channel's row in its bank
// table. RECORDING (seconds, shown as minutes and seconds) and FILE are the
// call's recording, if any. A recording whose call has no row (the row was
// never written, or pruned) is a row of its own, so that every recording is
// listed. An ID in the filter leaves out the channels' calls.
class ActivityListModel : public ActivityQueryModel
{
    Q_OBJECT
public:
    enum Column { Heard, Id, Bank, Channel, Frequency, Name, City, Recording, File };

    explicit ActivityListModel(QSqlDatabase db, QObject *parent = nullptr)
        : ActivityQueryModel(db, parent)
    {
    }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // The recording's file of a row; empty when it has none.
    QString fileAt(int row) const;
    // 83.4 s as "1:23".
    static QString durationText(double seconds);

protected:
    QString statement(const QString &where, int limit) const override;
    int whereUses() const override { return 3; }
};

// One row per talkgroup heard under the filter, the last heard first: ID,
// CITY, SERVICE_DESC (from TALKGROUPS), COUNT, LAST_HEARD.
class ActivitySummaryModel : public ActivityQueryModel
{
    Q_OBJECT
public:
    explicit ActivitySummaryModel(QSqlDatabase db, QObject *parent = nullptr)
        : ActivityQueryModel(db, parent)
    {
    }

protected:
    QString statement(const QString &where, int limit) const override;
};

namespace ActivityCsv {
// One RFC 4180 record: fields quoted where they hold a quote, a comma or a
// line break; ended by CR LF.
QByteArray record(const QStringList &fields);
// Every row of the model (all of them fetched; for an activity model every
// row under its filter) with its header, in UTF-8.
bool write(QSqlQueryModel *model, QIODevice *out, QString *error);
} // namespace ActivityCsv
