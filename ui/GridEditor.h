#pragma once

#include "ui/EditorNavigation.h"
#include "data/RecordCursor.h"
#include "link/Prompts.h"

#include <QWidget>

#include <memory>

class ChannelDatabase;
class EditorHistory;
class GridDelegate;
class QLabel;
class QMenu;
class QMenuBar;
class RowTableModel;
class QSortFilterProxyModel;
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
    // Asked when the window closes, or its table is read again, with changes
    // not yet written.
    void setPendingEditsQuestion(PendingEditsFn ask) { m_askPending = std::move(ask); }
    // Takes what an open cell editor holds into the grid's row, as leaving
    // the cell would; every way out of the grid does this first.
    void commitOpenCell();
    // Shows a cell's whole value in a box of its own to edit.
    void editWholeValue(const QModelIndex &index);
    EditorHistory *history() const { return m_history; }
    // The window's menu bar; its Edit menu.
    QMenuBar *menuBar() const { return m_menuBar; }
    QMenu *editMenu() const { return m_editMenu; }
    // The rows in the table's own order again, after a header click sorted
    // the grid (the grid alone: the table keeps its order).
    void sortByStoredOrder();

    // The selected cells (or whole rows) to the clipboard as tab-separated
    // text; Cut empties the cells, or deletes the rows.
    void copy();
    void cut();
    // Pastes such text at the current cell; false (after saying why) when
    // nothing was pasted.
    bool paste(const QString &text);

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
    const MessageFn &message() const { return m_message; }
    // Asks whether changes go over rows changed elsewhere meanwhile.
    std::function<bool(const QString &rows)> overwriteQuestion();
    // The status bar: lblStatus and the navigation buttons, which stay hidden.
    QWidget *makeStatusBox();
    // The model the grid shows; the grid's own index of one of its cells.
    void setShownModel(RowTableModel *model);
    QModelIndex gridIndex(const QModelIndex &index) const;
    // The model's row shown in a row of the grid; -1 past the last.
    int modelRow(int gridRow) const;
    // Makes the grid's current row the cursor's (the grid's current row
    // becomes the cursor's whenever the user picks one).
    void syncGridToCursor();
    // A new row at the end of the model, current, with its first cell to type in.
    void appendRow(RowTableModel *model, const QString &firstColumn);
    // Closes an open cell editor without taking what it holds.
    void dropOpenCell();
    // Asks what becomes of the changes not yet written before something
    // drops them; false when they are kept (Cancel, or a Save that failed).
    bool settlePendingEdits(const QString &text);
    // Tells the other windows that this one wrote its table.
    void announceWritten();
    // Records the model's changes in the history, and marks the title while
    // changes are not yet written.
    void watchModel(RowTableModel *model);
    // The caption; a trailing "*" is added while changes are not yet written.
    void setBaseTitle(const QString &title);
    void markTitle();

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
    // The table shown, and reading it again (the rows as stored now).
    virtual QString shownTable() const = 0;
    virtual RowTableModel *shownModel() const = 0;
    // Writes checked text into the rows from the current one on; false
    // (after saying why) when nothing was written.
    virtual bool pasteLines(const QList<QStringList> &lines, const QList<int> &columns) = 0;
    // After a cut or a paste: the editor writes now if that is its way.
    virtual void afterBulkChange() {}
    virtual void reloadTable() = 0;

    EditorNavigation::Beep m_beep;
    RecordCursor m_cursor;

private:
    // Another window, a backup or an import wrote these tables.
    void tablesChanged(const QStringList &tables, const QObject *source);
    void takeOutsideChange();

    QString m_path;
    QString m_connection;
    MessageFn m_message;
    PendingEditsFn m_askPending;
    std::unique_ptr<ChannelDatabase> m_db;
    QTableView *m_grid;
    GridDelegate *m_delegate;
    QSortFilterProxyModel *m_sorted;
    QLabel *m_status = nullptr;
    EditorHistory *m_history;
    QMenuBar *m_menuBar;
    QMenu *m_editMenu;
    QString m_baseTitle;
    bool m_syncing = false;
    bool m_outsideChange = false; // a change elsewhere waits to be taken
    bool m_asking = false;
};
