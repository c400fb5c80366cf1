#pragma once

#include "editors/EditorNavigation.h"
#include "editors/RecordCursor.h"
#include "link/Prompter.h"

#include <QWidget>

#include <memory>

class ChannelDatabase;
class QLabel;
class QTableView;
class TalkgroupTableModel;

// TalkGroups: the talkgroup log in a grid sorted by ID, edited in place; a
// row is written when the user leaves it.
class TalkGroupsEditor : public QWidget
{
    Q_OBJECT
public:
    // The grid's columns in order, with their widths in twips.
    static const QStringList &columns();

    TalkGroupsEditor(const QString &databasePath, MessageFn message, QWidget *parent = nullptr);
    ~TalkGroupsEditor() override;

    // Opens the log; false (after saying why) when it cannot be opened.
    bool load();

    void setBeep(EditorNavigation::Beep beep) { m_beep = std::move(beep); }

    TalkgroupTableModel *model() const { return m_model; }
    QTableView *grid() const { return m_grid; }
    RecordCursor &cursor() { return m_cursor; }

    // A new row at the end for the user to type in; and deleting the current one.
    void addRow();
    void deleteRow();
    // Writes the row being edited; false (after saying why) when it cannot be.
    bool submitRow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void syncCursorToModel(int row);
    void reload(int row);

    QString m_path;
    MessageFn m_message;
    EditorNavigation::Beep m_beep;
    std::unique_ptr<ChannelDatabase> m_db;
    TalkgroupTableModel *m_model = nullptr;
    QTableView *m_grid;
    QLabel *m_status;
    RecordCursor m_cursor;
    bool m_syncing = false;
};
