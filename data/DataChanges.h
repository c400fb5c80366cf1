#pragma once

#include <QObject>
#include <QStringList>

// The one place that says which tables of the channel database were
// written: by a backup, an import or an editor window. The windows showing
// those tables read them again (asking first where they hold unsaved edits).
// All on the window thread.
class DataChanges : public QObject
{
    Q_OBJECT
public:
    // The program's one instance.
    static DataChanges *instance();

    // Tables (e.g. "BANK03", "TALKGROUPS") were written; source: the window
    // that wrote them, which knows already, or null.
    static void announce(const QStringList &tables, const QObject *source = nullptr);
    // The tables of a list of rows that name theirs in a member `table`.
    template<typename Rows>
    static void announceTablesOf(const Rows &rows)
    {
        QStringList tables;
        for (const auto &row : rows)
            tables << row.table;
        announce(tables);
    }

signals:
    void changed(const QStringList &tables, const QObject *source);

private:
    using QObject::QObject;
};
