#include "data/TalkgroupCsv.h"

#include "data/ChannelDatabase.h"
#include "data/CsvWriter.h"
#include "data/EditorModels.h"
#include "protocol/TalkgroupReply.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kGroup = QStringLiteral("Talkgroups");
// The log's own text; DATE and TIME say when an ID was first heard and are
// taken for new IDs only.
const QStringList kTextColumns = {QStringLiteral("CITY"), QStringLiteral("SERVICE_DESC"), QStringLiteral("NOTES")};
const QStringList kWhenColumns = {QStringLiteral("DATE"), QStringLiteral("TIME")};

bool same(const QString &a, const QString &b)
{
    return a.isNull() == b.isNull() && a == b;
}

} // namespace

const QStringList &TalkgroupCsv::header()
{
    static const QStringList columns = QStringList{QStringLiteral("ID")} + kTextColumns + kWhenColumns;
    return columns;
}

const QList<TalkgroupCsv::ExtraColumn> &TalkgroupCsv::activityColumns()
{
    static const QList<ExtraColumn> columns = {
        {QStringLiteral("COUNT"), QStringLiteral("(SELECT count(*) FROM TALKGROUP_ACTIVITY A WHERE A.ID = T.ID)")},
        {QStringLiteral("LAST_HEARD"), QStringLiteral("(SELECT max(HEARD) FROM TALKGROUP_ACTIVITY A WHERE A.ID = T.ID)")},
    };
    return columns;
}

const QStringList &TalkgroupCsv::activityHeaders()
{
    static const QStringList headers = {QStringLiteral("COUNT"), QStringLiteral("LAST_HEARD")};
    return headers;
}

bool TalkgroupCsv::exportBytes(ChannelDatabase &db, QByteArray *out, int *rows, QString *error,
                               const QList<ExtraColumn> &extra)
{
    *rows = 0;
    if (!db.open(error))
        return false;
    QStringList columns = header();
    QStringList expressions = header();
    for (const ExtraColumn &c : extra) {
        columns << c.header;
        expressions << c.expression;
    }
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM TALKGROUPS T ORDER BY ID, rowid").arg(expressions.join(QStringLiteral(", "))))) {
        *error = q.lastError().text();
        return false;
    }
    CsvWriter::appendRecord(out, columns);
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < columns.size(); ++i)
            fields << CsvTable::fieldOf(q.value(i));
        CsvWriter::appendRecord(out, fields);
        ++*rows;
    }
    return true;
}

bool TalkgroupCsv::exportTo(ChannelDatabase &db, const QString &path, int *rows, QString *error,
                            const QList<ExtraColumn> &extra)
{
    QByteArray bytes;
    if (!exportBytes(db, &bytes, rows, error, extra)
        || !CsvWriter::save(path, bytes, error, CsvWriter::databaseFiles(db.path())))
        return false;
    qCInfo(lcCsv) << "exported" << *rows << "talkgroups to" << path;
    return true;
}

ImportPlan TalkgroupCsv::plan(ChannelDatabase &db, const QString &path, const QStringList &ignoredColumns)
{
    CsvTable table;
    QString error;
    return table.read(path, &error) ? planTable(db, table, ignoredColumns) : ImportPlan::failure(error);
}

ImportPlan TalkgroupCsv::planBytes(ChannelDatabase &db, QByteArrayView bytes, const QStringList &ignoredColumns)
{
    CsvTable table;
    QString error;
    return table.readBytes(bytes, &error) ? planTable(db, table, ignoredColumns) : ImportPlan::failure(error);
}

ImportPlan TalkgroupCsv::planTable(ChannelDatabase &db, const CsvTable &table, const QStringList &ignoredColumns)
{
    QString error;
    if (!table.has(QStringLiteral("ID")))
        return ImportPlan::failure(QStringLiteral("the file has no ID column"));
    // The log as it is: the first row of each ID.
    QHash<QString, QStringList> existing;
    if (!db.open(&error))
        return ImportPlan::failure(error);
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ID, %1 FROM TALKGROUPS ORDER BY rowid").arg(kTextColumns.join(QStringLiteral(", ")))))
        return ImportPlan::failure(q.lastError().text());
    ImportPlan plan;
    while (q.next()) {
        const QString id = q.value(0).toString();
        if (!existing.contains(id))
            existing.insert(id, {CsvTable::fieldOf(q.value(1)), CsvTable::fieldOf(q.value(2)), CsvTable::fieldOf(q.value(3))});
    }
    q.finish();

    plan.setUnknownColumns(table.unknownColumns(header() + ignoredColumns));
    plan.addGroup(kGroup);
    for (const CsvReader::Problem &p : table.problems())
        plan.refuse(p.line, p.message);
    plan.countRefused(int(table.problemCount() - table.problems().size()));
    // Columns found once: a file may hold millions of lines.
    const int idColumn = table.column(QStringLiteral("ID"));
    QList<int> textColumns;
    for (const QString &column : kTextColumns)
        textColumns << table.column(column);
    QList<int> whenColumns;
    for (const QString &column : kWhenColumns)
        whenColumns << table.column(column);
    QHash<QString, int> lineOfId;
    for (const CsvTable::Row &row : table.rows()) {
        auto value = [&](int column) { return table.value(row, column); };
        const QString shape = table.shapeProblem(row);
        if (!shape.isEmpty()) {
            plan.refuse(row.line, shape);
            continue;
        }
        const QString given = value(idColumn);
        const QString id = given.trimmed();
        if (!TalkgroupReply::looksLikeId(id)) {
            plan.refuse(row.line, QStringLiteral("ID %1 is no talkgroup ID (a digit first, then digits and \"-\", "
                                                 "at most %2 characters)")
                                      .arg(CsvTable::quoted(given), QString::number(TalkgroupReply::kMaxIdLength)));
            continue;
        }
        if (lineOfId.contains(id)) {
            plan.refuse(row.line, QStringLiteral("ID %1 is given on line %2 already").arg(id).arg(lineOfId.value(id)));
            continue;
        }
        QString reason;
        for (int i = 0; i < kWhenColumns.size(); ++i) {
            const QString &column = kWhenColumns.at(i);
            const QString text = value(whenColumns.at(i));
            QVariant normalised;
            if (!text.isNull() && !TalkgroupTableModel::normalise(column, text, &normalised) && reason.isEmpty())
                reason = QStringLiteral("%1 %2 is not %3").arg(column, CsvTable::quoted(text),
                                                                   column == kWhenColumns.front()
                                                                       ? QStringLiteral("a date like 2026-12-08")
                                                                       : QStringLiteral("a time like 14:05:09"));
        }
        if (!reason.isEmpty()) {
            plan.refuse(row.line, reason);
            continue;
        }
        lineOfId.insert(id, row.line);

        ImportPlan::Row write{row.line, QStringLiteral("TALKGROUPS"), QStringLiteral("ID"), id, {}, {}, existing.contains(id)};
        const QStringList known = existing.value(id);
        for (int i = 0; i < kTextColumns.size(); ++i) {
            const int column = textColumns.at(i);
            if (column < 0 || (write.replaces && same(value(column), known.at(i))))
                continue;
            write.columns << kTextColumns.at(i);
            write.values << CsvTable::storedOf(value(column));
        }
        for (int i = 0; i < kWhenColumns.size(); ++i) {
            if (!write.replaces && whenColumns.at(i) >= 0) {
                write.columns << kWhenColumns.at(i);
                write.values << CsvTable::storedOf(value(whenColumns.at(i)));
            }
        }
        if (write.replaces && write.columns.isEmpty())
            plan.countUnchanged(kGroup);
        else
            plan.add(kGroup, write);
    }
    plan.sortRefusals();
    return plan;
}
