#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <limits>

class ChannelDatabase;

// What an import will write, worked out before anything is written: the rows
// to add or replace per group (a bank, or the talkgroups), the lines refused
// with their reasons, and the columns of the file that were ignored. Nothing
// touches the database until apply(), which writes every row in one
// transaction or, on any failure, nothing at all.
class ImportPlan
{
public:
    // One row to write: the first row of the table whose keyColumn equals key
    // gets the values (only the columns named); without such a row a new one
    // is added with the key and the values.
    struct Row
    {
        int line = 0;
        QString table;
        QString keyColumn;
        QVariant key;
        QStringList columns;
        QVariantList values;
        bool replaces = false; // a row with this key was there when planned
    };
    struct Refusal
    {
        int line = 0;
        QString reason;
    };
    struct Group
    {
        QString name;
        int added = 0;
        int replaced = 0;
        int unchanged = 0; // lines that would change nothing
    };

    // The file could not be used at all (unreadable, no header, a column the
    // import needs is missing, the database cannot be read): empty when it
    // could. Such a plan has nothing to write.
    QString error() const { return m_error; }
    bool isUsable() const { return m_error.isEmpty(); }

    const QList<Group> &groups() const { return m_groups; }
    const QList<Row> &rows() const { return m_rows; }
    // The refused lines listed with their reasons: the first kMaxListed of
    // them by line. refusedCount() counts them all.
    static constexpr int kMaxListed = 1000;
    const QList<Refusal> &refused() const { return m_refused; }
    int refusedCount() const { return m_refusedCount; }
    const QStringList &unknownColumns() const { return m_unknown; }
    int rowCount() const { return int(m_rows.size()); }

    // The summary as plain text, one item a line (for a terminal or a log).
    QString summaryText() const;

    // Writes every row in one transaction. False with *error, and nothing
    // written, when the database refuses any of it (locked by another
    // program, a full disk, ...).
    bool apply(ChannelDatabase &db, QString *error) const;

    // A plan that cannot be carried out, for the reason given.
    static ImportPlan failure(const QString &error);

    // Building a plan.
    void setError(const QString &error) { m_error = error; }
    void setUnknownColumns(const QStringList &columns) { m_unknown = columns; }
    void addGroup(const QString &name);
    void add(const QString &group, const Row &row);
    void countUnchanged(const QString &group);
    void refuse(int line, const QString &reason);
    // Lines refused whose reasons are not kept (beyond those a reader lists).
    void countRefused(int lines) { m_refusedCount += lines; }
    // Refusals in line order.
    void sortRefusals();

private:
    Group &group(const QString &name);

    QString m_error;
    QList<Group> m_groups;
    QList<Row> m_rows;
    QList<Refusal> m_refused;
    int m_refusedCount = 0;
    // Once kMaxListed are listed, the line of the last of them.
    int m_lastListedLine = std::numeric_limits<int>::max();
    QStringList m_unknown;
};
