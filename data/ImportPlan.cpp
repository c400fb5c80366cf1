#include "data/ImportPlan.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/CsvTable.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

ImportPlan::Group &ImportPlan::group(const QString &name)
{
    for (Group &g : m_groups) {
        if (g.name == name)
            return g;
    }
    m_groups.append(Group{name});
    return m_groups.back();
}

ImportPlan ImportPlan::failure(const QString &error)
{
    ImportPlan plan;
    plan.setError(error);
    return plan;
}

void ImportPlan::addGroup(const QString &name)
{
    group(name);
}

void ImportPlan::add(const QString &groupName, const Row &row)
{
    Group &g = group(groupName);
    ++(row.replaces ? g.replaced : g.added);
    m_rows.append(row);
}

void ImportPlan::countUnchanged(const QString &groupName)
{
    ++group(groupName).unchanged;
}

void ImportPlan::refuse(int line, const QString &reason)
{
    ++m_refusedCount;
    if (line > m_lastListedLine)
        return; // past a full list
    m_refused.append(Refusal{line, reason});
    // A file of nothing but bad lines keeps a bounded list.
    if (m_refused.size() >= 2 * kMaxListed)
        sortRefusals();
}

void ImportPlan::sortRefusals()
{
    std::stable_sort(m_refused.begin(), m_refused.end(),
                     [](const Refusal &a, const Refusal &b) { return a.line < b.line; });
    if (m_refused.size() >= kMaxListed) {
        m_refused.resize(kMaxListed);
        m_lastListedLine = m_refused.back().line;
    }
}

QString ImportPlan::summaryText() const
{
    if (!isUsable())
        return QStringLiteral("Nothing can be imported: %1\n").arg(m_error);
    QString text;
    for (const Group &g : m_groups) {
        if (g.added == 0 && g.replaced == 0 && g.unchanged == 0)
            continue;
        text += QStringLiteral("%1: %2 to add, %3 to replace").arg(g.name).arg(g.added).arg(g.replaced);
        if (g.unchanged > 0)
            text += QStringLiteral(", %1 unchanged").arg(g.unchanged);
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("%1 rows to write, %2 lines refused\n").arg(rowCount()).arg(refusedCount());
    for (const Refusal &r : m_refused)
        text += QStringLiteral("line %1: %2\n").arg(r.line).arg(r.reason);
    if (refusedCount() > m_refused.size())
        text += QStringLiteral("... and %1 more lines refused\n").arg(refusedCount() - m_refused.size());
    if (!m_unknown.isEmpty())
        text += QStringLiteral("Columns ignored: %1\n").arg(m_unknown.join(QStringLiteral(", ")));
    return text;
}

bool ImportPlan::apply(ChannelDatabase &db, QString *error) const
{
    if (!isUsable()) {
        *error = m_error;
        return false;
    }
    if (!db.open(error))
        return false;
    QSqlDatabase sql = db.database();
    if (!sql.transaction()) {
        *error = sql.lastError().text();
        return false;
    }
    // Statements by their text: a file's rows share a handful of shapes.
    QHash<QString, QSqlQuery> statements;
    QSqlError failure;
    auto run = [&](const QString &text, const QVariantList &values) -> QSqlQuery * {
        auto it = statements.find(text);
        if (it == statements.end()) {
            it = statements.insert(text, QSqlQuery(sql));
            if (!it->prepare(text)) {
                failure = it->lastError();
                return nullptr;
            }
        }
        for (const QVariant &v : values)
            it->addBindValue(v);
        if (!it->exec()) {
            failure = it->lastError();
            return nullptr;
        }
        return &*it;
    };
    bool ok = true;
    for (const Row &row : m_rows) {
        // Looked up again here: the table may have changed since the plan.
        QSqlQuery *find = run(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                                  .arg(row.table, row.keyColumn),
                              {row.key});
        if (!find) {
            ok = false;
            break;
        }
        const QVariant rowid = find->next() ? find->value(0) : QVariant();
        find->finish();
        QString text;
        QVariantList values = row.values;
        if (rowid.isValid()) {
            if (row.columns.isEmpty())
                continue;
            text = QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                       .arg(row.table, row.columns.join(QStringLiteral(" = ?, ")));
            values << rowid;
        } else {
            text = QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
                       .arg(row.table, (QStringList{row.keyColumn} + row.columns).join(QStringLiteral(", ")),
                            QStringLiteral(", ?").repeated(row.columns.size()));
            values.prepend(row.key);
        }
        if (!run(text, values)) {
            ok = false;
            break;
        }
    }
    for (QSqlQuery &q : statements)
        q.finish();
    if (ok && sql.commit()) {
        qCInfo(lcCsv) << "imported" << m_rows.size() << "rows";
        DataChanges::announceTablesOf(m_rows);
        return true;
    }
    *error = ok ? sql.lastError().text() : failure.text();
    sql.rollback();
    qCWarning(lcCsv) << "import failed, nothing written:" << *error;
    return false;
}
