#pragma once

#include "ui/GridEditor.h"

class TalkgroupTableModel;

// TalkGroups: the talkgroup log in a grid sorted by ID, edited in place; a
// row is written when the user leaves it.
class TalkGroupsEditor : public GridEditor
{
    Q_OBJECT
public:
    // The grid's columns in order, with their widths in twips.
    static const QStringList &columns();

    TalkGroupsEditor(const QString &databasePath, MessageFn message, QWidget *parent = nullptr);
    ~TalkGroupsEditor() override;

    // Opens the log; false (after saying why) when it cannot be opened.
    bool load();

    TalkgroupTableModel *model() const { return m_model; }

    // A new row at the end for the user to type in; and deleting the current one.
    void addRow();
    void deleteRow();
    // Writes the row being edited; false (after saying why) when it cannot be.
    bool submitRow();

protected:
    bool hasPendingEdits() const override;
    QString pendingEditsText() const override;
    bool savePendingEdits() override;
    void discardPendingEdits() override;
    QString shownTable() const override { return QStringLiteral("TALKGROUPS"); }
    RowTableModel *shownModel() const override;
    bool pasteLines(const QList<QStringList> &lines, const QList<int> &columns) override;
    void afterBulkChange() override { submitRow(); }
    void reloadTable() override;

private:
    // The cursor back on a row after the rows changed.
    void placeCursor(int row);

    TalkgroupTableModel *m_model = nullptr;
};
