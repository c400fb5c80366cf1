#include "data/ActivityStatistics.h"

#include "data/TalkgroupActivityLog.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kUnknownService = QStringLiteral("Unknown");

// The span as a WHERE clause over a time column, with its values in the
// order they bind.
QString spanClause(const QString &column, const QDateTime &from, const QDateTime &to, QVariantList *values)
{
    QStringList terms;
    if (from.isValid()) {
        terms << column + QStringLiteral(" >= ?");
        *values << TalkgroupActivityLog::heardText(from);
    }
    if (to.isValid()) {
        terms << column + QStringLiteral(" < ?");
        *values << TalkgroupActivityLog::heardText(to);
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

bool run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString *error)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

// The end of a read: false, with *error, when it stopped on a failure.
bool finished(const QSqlQuery &q, QString *error)
{
    if (q.lastError().isValid()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

// The start of a quarter hour in UTC from its "yyyy-MM-ddTHH" text and its
// quarter (0..3); invalid when the text is no such time.
QDateTime quarterStart(const QString &hourText, int quarter)
{
    if (hourText.size() != 13 || hourText.at(10) != QLatin1Char('T') || quarter < 0 || quarter > 3)
        return {};
    const QDate date = QDate::fromString(hourText.left(10), Qt::ISODate);
    bool ok = false;
    const int hour = hourText.mid(11, 2).toInt(&ok);
    if (!date.isValid() || !ok || hour < 0 || hour > 23)
        return {};
    return QDateTime(date, QTime(hour, quarter * 15), Qt::UTC);
}

} // namespace

QString TalkgroupFigure::label() const
{
    const QString name = service.trimmed();
    if (name.isEmpty() || name.compare(kUnknownService, Qt::CaseInsensitive) == 0)
        return id;
    return id + QLatin1Char(' ') + name;
}

bool ActivityStatistics::compute(const QDateTime &from, const QDateTime &to, ActivityFigures *out, QString *error) const
{
    QVariantList values;
    const QString where = spanClause(QStringLiteral("HEARD"), from, to, &values);
    // One read transaction: the figures agree with each other even while
    // the log writes.
    QSqlDatabase db = m_db;
    const bool inTransaction = db.transaction();
    ActivityFigures figures;
    const bool ok = countTimes(where, values, &figures, error) && countTalkgroups(where, values, &figures, error)
                    && sumAirtime(from, to, &figures, error);
    if (inTransaction)
        db.commit();
    if (ok)
        *out = std::move(figures);
    return ok;
}

bool ActivityStatistics::countTimes(const QString &where, const QVariantList &values, ActivityFigures *figures,
                                    QString *error) const
{
    // Every time zone's offset is a whole number of quarter hours, and its
    // changes fall on quarter hours: all calls of one UTC quarter hour fall
    // in the same local hour. A HEARD that is not a UTC time (OK = 0, or an
    // hour that is no date and hour) is counted apart.
    const QString sql = QStringLiteral("SELECT substr(HEARD, 1, 13) AS H, CAST(substr(HEARD, 15, 2) AS INTEGER) / 15 AS Q, "
                                       "substr(HEARD, -1) = 'Z' AS OK, count(*) FROM TALKGROUP_ACTIVITY")
                        + where + QStringLiteral(" GROUP BY H, Q, OK");
    QSqlQuery q(m_db);
    if (!run(q, sql, values, error))
        return false;
    while (q.next()) {
        const qint64 n = q.value(3).toLongLong();
        figures->calls += n;
        const QDateTime start = q.value(2).toInt() ? quarterStart(q.value(0).toString(), q.value(1).toInt()) : QDateTime();
        if (!start.isValid()) {
            figures->undated += n;
            continue;
        }
        const QDateTime local = start.toLocalTime();
        figures->perHour[local.time().hour()] += n;
        figures->perWeekday[local.date().dayOfWeek() - 1] += n;
    }
    return finished(q, error);
}

bool ActivityStatistics::countTalkgroups(const QString &where, const QVariantList &values, ActivityFigures *figures,
                                         QString *error) const
{
    // Counted first, named afterwards (the top ones only): a talkgroup
    // entered twice in TALKGROUPS must not count twice.
    const QString sql =
        QStringLiteral("SELECT b.ID, b.N, b.G, (SELECT SERVICE_DESC FROM TALKGROUPS t WHERE t.ID = b.ID LIMIT 1), "
                       "(SELECT CITY FROM TALKGROUPS t WHERE t.ID = b.ID LIMIT 1) FROM "
                       "(SELECT ID, N, count(*) OVER () AS G FROM (SELECT ID, count(*) AS N FROM TALKGROUP_ACTIVITY")
        + where + QStringLiteral(" GROUP BY ID) ORDER BY N DESC, ID LIMIT ?) b ORDER BY b.N DESC, b.ID");
    QSqlQuery q(m_db);
    if (!run(q, sql, QVariantList(values) << m_top, error))
        return false;
    while (q.next()) {
        TalkgroupFigure tg;
        tg.id = q.value(0).toString();
        tg.calls = q.value(1).toLongLong();
        figures->talkgroups = q.value(2).toInt();
        tg.service = q.value(3).toString();
        tg.city = q.value(4).toString();
        figures->busiest << tg;
    }
    return finished(q, error);
}

bool ActivityStatistics::sumAirtime(const QDateTime &from, const QDateTime &to, ActivityFigures *figures,
                                    QString *error) const
{
    QVariantList values;
    QString where = spanClause(QStringLiteral("START_UTC"), from, to, &values);
    where += (where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND "))
             + QStringLiteral("TALKGROUP IS NOT NULL AND TALKGROUP <> ''");
    // A damaged row's negative duration adds nothing.
    const QString sql =
        QStringLiteral("SELECT b.TALKGROUP, b.S, b.R, b.TS, b.TR, "
                       "(SELECT SERVICE_DESC FROM TALKGROUPS t WHERE t.ID = b.TALKGROUP LIMIT 1), "
                       "(SELECT CITY FROM TALKGROUPS t WHERE t.ID = b.TALKGROUP LIMIT 1) FROM "
                       "(SELECT TALKGROUP, S, R, sum(S) OVER () AS TS, sum(R) OVER () AS TR FROM "
                       "(SELECT TALKGROUP, sum(CASE WHEN DURATION > 0 THEN DURATION ELSE 0 END) AS S, count(*) AS R "
                       "FROM RECORDINGS")
        + where + QStringLiteral(" GROUP BY TALKGROUP) ORDER BY S DESC, TALKGROUP LIMIT ?) b ORDER BY b.S DESC, b.TALKGROUP");
    QSqlQuery q(m_db);
    if (!run(q, sql, values << m_top, error))
        return false;
    while (q.next()) {
        TalkgroupFigure tg;
        tg.id = q.value(0).toString();
        tg.seconds = q.value(1).toDouble();
        tg.recordings = q.value(2).toLongLong();
        figures->recordedSeconds = q.value(3).toDouble();
        figures->recordings = q.value(4).toLongLong();
        tg.service = q.value(5).toString();
        tg.city = q.value(6).toString();
        figures->airtime << tg;
    }
    return finished(q, error);
}
