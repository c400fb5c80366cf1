#include "data/RowSubmission.h"

#include <QSqlError>

#include <algorithm>

bool RowSubmission::writePending(RowTableModel *m, QStringList *conflicts)
{
    using Outcome = RowStatements::Outcome;
    m->m_conflicts.clear();
    m->m_written.clear();
    for (const RowTableModel::Row &r : std::as_const(m->m_removed)) {
        const Outcome outcome = m->m_statements.remove(r.rowid, r.loaded, &m->m_error);
        if (outcome == Outcome::Failed)
            return false;
        if (outcome == Outcome::Conflict) {
            m->m_conflicts << r.key;
            *conflicts << QObject::tr("the row with %1 %2")
                              .arg(m->m_sortColumn, r.loaded.value(m->fieldIndex(m->m_sortColumn)).toString());
        }
    }
    for (int row = 0; row < m->m_rows.size(); ++row) {
        if (!m->isDirty(row))
            continue;
        const RowTableModel::Row &r = m->m_rows.at(row);
        qint64 rowid = 0;
        const Outcome outcome = r.rowid == 0 ? m->m_statements.insert(r.values, r.changed, &rowid, &m->m_error)
                                             : m->m_statements.update(r.rowid, r.loaded, r.values, r.changed, &m->m_error);
        if (outcome == Outcome::Failed)
            return false;
        if (outcome == Outcome::Conflict) {
            m->m_conflicts << r.key;
            *conflicts << m->describe(row);
        } else if (r.rowid == 0) {
            m->m_written.insert(rowid, r.key);
        }
    }
    return true;
}

bool RowSubmission::reload(RowTableModel *m, int row)
{
    RowTableModel::Row &r = m->m_rows[row];
    if (m->m_statements.reload(r.rowid, &r.loaded)) {
        r.values = r.loaded;
        r.changed.fill(false);
        emit m->dataChanged(m->index(row, 0), m->index(row, m->columnCount() - 1));
        emit m->rowReloaded(row, false);
        return true;
    }
    m->beginRemoveRows({}, row, row);
    m->m_rows.removeAt(row);
    m->endRemoveRows();
    emit m->rowReloaded(row, true);
    return false;
}

void RowSubmission::reloadConflicts(RowTableModel *m)
{
    m->m_written.clear();
    for (const qint64 key : std::as_const(m->m_conflicts)) {
        const int row = m->rowOfKey(key);
        if (row >= 0) {
            reload(m, row);
            continue;
        }
        // A row deleted here: shown again as it is stored, if it still is.
        const auto it = std::find_if(m->m_removed.begin(), m->m_removed.end(), [key](const RowTableModel::Row &r) { return r.key == key; });
        if (it == m->m_removed.end())
            continue;
        RowTableModel::Row back = *it;
        m->m_removed.erase(it);
        if (m->m_statements.reload(back.rowid, &back.loaded)) {
            back.values = back.loaded;
            back.changed.fill(false);
            m->beginInsertRows({}, int(m->m_rows.size()), int(m->m_rows.size()));
            m->m_rows << back;
            m->endInsertRows();
        }
    }
    m->m_conflicts.clear();
}

void RowSubmission::rebaseConflicts(RowTableModel *m)
{
    m->m_written.clear();
    for (const qint64 key : std::as_const(m->m_conflicts)) {
        QVariantList stored;
        const int row = m->rowOfKey(key);
        if (row >= 0) {
            RowTableModel::Row &r = m->m_rows[row];
            if (m->m_statements.reload(r.rowid, &stored)) {
                for (int c = 0; c < stored.size(); ++c) {
                    if (!r.changed.value(c))
                        r.values[c] = stored.at(c);
                }
                r.loaded = stored;
            } else {
                r.rowid = 0; // gone: written as a new row
            }
            m->setValues(r, QVariantList(r.values));
            emit m->dataChanged(m->index(row, 0), m->index(row, m->columnCount() - 1));
            emit m->headerDataChanged(Qt::Vertical, row, row);
            continue;
        }
        const auto it = std::find_if(m->m_removed.begin(), m->m_removed.end(),
                                     [key](const RowTableModel::Row &r) { return r.key == key; });
        if (it == m->m_removed.end())
            continue;
        if (m->m_statements.reload(it->rowid, &stored))
            it->loaded = stored;
        else
            m->m_removed.erase(it); // deleted elsewhere already
    }
    m->m_conflicts.clear();
}

bool RowSubmission::submit(const QList<RowTableModel *> &models, QString *error,
                           const RowTableModel::Overwrite &overwrite)
{
    QList<RowTableModel *> dirty;
    for (RowTableModel *m : models) {
        if (m && m->isDirty())
            dirty << m;
    }
    if (dirty.isEmpty())
        return true;
    for (RowTableModel *m : std::as_const(dirty)) {
        for (int row = 0; row < m->m_rows.size(); ++row) {
            if (m->isDirty(row) && !m->checkRow(row, error))
                return false;
        }
    }
    QSqlDatabase db = dirty.first()->m_db;
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QStringList conflicts;
    for (RowTableModel *m : std::as_const(dirty)) {
        if (!writePending(m, &conflicts)) {
            *error = m->m_error;
            db.rollback();
            for (RowTableModel *other : std::as_const(dirty))
                other->m_written.clear();
            return false;
        }
    }
    if (!conflicts.isEmpty()) {
        db.rollback();
        if (overwrite && overwrite(conflicts.join(QStringLiteral(", ")))) {
            for (RowTableModel *m : std::as_const(dirty))
                rebaseConflicts(m);
            // Once more; a row changed yet again meanwhile is refused.
            return submit(models, error);
        }
        for (RowTableModel *m : std::as_const(dirty))
            reloadConflicts(m);
        *error = QObject::tr("%1 was changed elsewhere after it was shown here, and is now shown as it is stored. "
                             "Nothing was written.")
                     .arg(conflicts.join(QStringLiteral(", ")));
        return false;
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        db.rollback();
        for (RowTableModel *m : std::as_const(dirty))
            m->m_written.clear();
        return false;
    }
    bool read = true;
    for (RowTableModel *m : std::as_const(dirty)) {
        if (!m->select()) {
            *error = m->m_error;
            read = false;
        }
    }
    return read;
}

