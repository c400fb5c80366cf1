#pragma once

#include "ui/EditorNavigation.h"
#include "data/RecordCursor.h"
#include "link/Prompts.h"

#include <QWidget>

#include <memory>

class ChannelDatabase;
class QLabel;
class QSqlTableModel;
class QTableView;

// What the two grid editors share: a connection of their own to the channel
// database, the grid, the status bar, the current record, and the keys that
// move through the records before the grid sees them.
class GridEditor : public QWidget
{
    Q_OBJECT
public:
    ~GridEditor() override;

    void setBeep(EditorNavigation::Beep beep) { m_beep = std::move(beep); }
    QTableView *grid() const { return m_grid; }
    QLabel *status() const { return m_status; }
    RecordCursor &cursor() { return m_cursor; }
    // Asked when the window closes with changes not yet written.
    void setPendingEditsQuestion(PendingEditsFn ask) { m_askPending = std::move(ask); }

protected:
    // Who the editor is: its window's object name and caption, its size in
    // twips, and the name of its own database connection.
    struct Identity
    {
        const char *objectName;
        const char *caption;
        int widthTwips;
        int heightTwips;
        const char *connectionName;
    };

    GridEditor(const Identity &identity, const QString &databasePath, MessageFn message, QWidget *parent);

    // Opens the database; false after telling the user why it cannot be.
    bool openDatabase();
    ChannelDatabase *database() const { return m_db.get(); }
    // Tells the user something went wrong.
    void warn(const QString &text);
    // The status bar: lblStatus and the navigation buttons, which stay hidden.
    QWidget *makeStatusBox();
    // Makes the grid's current row the cursor's, and follows the grid when
    // the user picks a row there.
    void followGrid();
    void syncGridToCursor();
    // A new row at the end of the model, current, with its first cell to type in.
    void appendRow(QSqlTableModel *model, const QString &firstColumn);

    // Whether the keys move through the records now, and whether Escape closes.
    virtual bool keysActive() const { return true; }
    virtual bool escapeCloses() const { return false; }
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing with changes not yet written asks what becomes of them.
    void closeEvent(QCloseEvent *event) override;

    // The changes not yet written, and what Save and Discard do with them.
    virtual bool hasPendingEdits() const = 0;
    virtual QString pendingEditsText() const = 0;
    // False (after saying why) when they could not be written; they are kept.
    virtual bool savePendingEdits() = 0;
    virtual void discardPendingEdits() = 0;

    EditorNavigation::Beep m_beep;
    RecordCursor m_cursor;

private:
    QString m_path;
    QString m_connection;
    MessageFn m_message;
    PendingEditsFn m_askPending;
    std::unique_ptr<ChannelDatabase> m_db;
    QTableView *m_grid;
    QLabel *m_status = nullptr;
    bool m_syncing = false;
};
