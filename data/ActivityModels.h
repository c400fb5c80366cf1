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
    // The statement for a WHERE clause (empty for none) over TALKGROUP_ACTIVITY.
    virtual QString statement(const QString &where) const = 0;

private:
    QSqlDatabase m_db;
    ActivityFilter m_filter;
};

// The activity rows that pass the filter, newest first: HEARD, ID, BANK.
class ActivityListModel : public ActivityQueryModel
{
    Q_OBJECT
public:
    explicit ActivityListModel(QSqlDatabase db, QObject *parent = nullptr)
        : ActivityQueryModel(db, parent)
    {
    }

protected:
    QString statement(const QString &where) const override;
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
    QString statement(const QString &where) const override;
};

namespace ActivityCsv {
// One RFC 4180 record: fields quoted where they hold a quote, a comma or a
// line break; ended by CR LF.
QByteArray record(const QStringList &fields);
// Every row of the model (all of them fetched; for an activity model every
// row under its filter) with its header, in UTF-8.
bool write(QSqlQueryModel *model, QIODevice *out, QString *error);
} // namespace ActivityCsv
