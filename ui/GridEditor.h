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

    EditorNavigation::Beep m_beep;
    RecordCursor m_cursor;

private:
    QString m_path;
    QString m_connection;
    MessageFn m_message;
    std::unique_ptr<ChannelDatabase> m_db;
    QTableView *m_grid;
    QLabel *m_status = nullptr;
    bool m_syncing = false;
};
