#pragma once

#include "data/CsvTable.h"
#include "data/ImportPlan.h"

#include <QHash>
#include <QString>
#include <QStringList>

class ChannelDatabase;

// The talkgroup log (TALKGROUPS) as CSV: ID, CITY, SERVICE_DESC, NOTES, DATE,
// TIME, sorted by ID, then any extra columns the caller asks for.
//
// Import adds the IDs the log does not have yet (with the file's DATE and
// TIME) and, for those it has, takes the file's CITY, SERVICE_DESC and NOTES
// where they differ; it never deletes, and a column the file lacks leaves
// the log's text as it is. IDs follow the rule for talkgroup IDs the scanner
// reports (a digit first, digits and "-", at most 12 characters); DATE and
// TIME that of the talkgroup editor.
//
// For the command line:
//   TalkgroupCsv::exportTo(db, "talkgroups.csv", &rows, &error);
//   ImportPlan plan = TalkgroupCsv::plan(db, "talkgroups.csv");
//   plan.summaryText(), plan.apply(db, &error) as for the banks.
class TalkgroupCsv
{
public:
    // A column appended to the export: its header and an SQL expression over
    // the talkgroup row T (for example a count from another table joined on
    // T.ID). Such columns are written only; the import ignores them.
    struct ExtraColumn
    {
        QString header;
        QString expression;
    };

    static const QStringList &header();
    // How often each talkgroup was heard and when last (COUNT, LAST_HEARD),
    // from the activity log: written by an export unless told otherwise.
    static const QList<ExtraColumn> &activityColumns();
    static const QStringList &activityHeaders();

    static bool exportTo(ChannelDatabase &db, const QString &path, int *rows, QString *error,
                         const QList<ExtraColumn> &extra = activityColumns());
    static bool exportBytes(ChannelDatabase &db, QByteArray *out, int *rows, QString *error,
                            const QList<ExtraColumn> &extra = activityColumns());

    // Reads the file and plans its import against the log as it is now.
    // ignoredColumns: columns written by an export with extra columns, not
    // listed as unknown.
    static ImportPlan plan(ChannelDatabase &db, const QString &path,
                           const QStringList &ignoredColumns = activityHeaders());
    static ImportPlan planBytes(ChannelDatabase &db, QByteArrayView bytes,
                                const QStringList &ignoredColumns = activityHeaders());

private:
    static ImportPlan planTable(ChannelDatabase &db, const CsvTable &table, const QStringList &ignoredColumns);
};
