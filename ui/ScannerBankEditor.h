#pragma once

#include "ui/GridEditor.h"
#include "data/RowFinder.h"

class BankEditMenu;
class BankTableModel;
class BankTables;
class QLabel;
class QPushButton;
class QTabBar;

// ScannerBank: one bank table of the channel database in a grid, a tab per
// bank. Edits are kept until Update (or a switch to another bank) writes them.
class ScannerBankEditor : public GridEditor
{
    Q_OBJECT
public:
    ScannerBankEditor(const QString &databasePath, MessageFn message, QWidget *parent = nullptr);
    ~ScannerBankEditor() override;

    // Opens the database and shows bank 1; false (after saying why) when it
    // cannot be opened.
    bool load();

    int currentBank() const { return m_currentBank; }
    bool editMode() const { return m_editMode; }
    QString tableName() const;
    QString gridCaption() const;
    BankTableModel *model() const { return m_model; }
    // Every bank the window has open, with their pending changes.
    BankTables *tables() const { return m_tables; }
    QTabBar *tabs() const { return m_tabs; }
    QPushButton *button(const QString &objectName) const;

    // The button bar and the navigation.
    void add();
    void edit();
    bool update();
    void cancel();
    void remove();
    void refresh();
    void first();
    void last();
    void next();
    void previous();
    // Switches to a bank (1..20), writing the pending edits first.
    void selectBank(int bank);

    // The rows (of the bank shown) go to the channels from firstChannel on,
    // in any bank; false when nothing moved.
    bool moveRows(QList<int> rows, int firstChannel);
    // The rows the grid's selection touches (the stored rows, in order).
    QList<int> selectedRows() const;
    // The channel of the current row, or the bank's first channel.
    int currentChannel() const;
    // Goes to the next row, in any bank, that the query finds; false when
    // there is none.
    bool find(const RowFinder::Query &query);
    BankEditMenu *menu() const { return m_menu; }

protected:
    // The keys are the grid's alone while a record is being edited.
    bool keysActive() const override { return !m_editMode; }
    bool escapeCloses() const override { return true; }
    bool hasPendingEdits() const override;
    QString pendingEditsText() const override;
    bool savePendingEdits() override { return update(); }
    void discardPendingEdits() override;
    QString shownTable() const override { return tableName(); }
    RowTableModel *shownModel() const override;
    bool pasteLines(const QList<QStringList> &lines, const QList<int> &columns) override;
    void afterBulkChange() override;
    void reloadTable() override;

private:
    void setButtons(bool browsing);
    void showTab(int bank);
    bool openBank(int bank, bool allColumns);
    // Shows an open bank's model in the grid, writing nothing.
    void showModel(int bank, BankTableModel *model, bool allColumns);
    // Shows a row that an undo or redo changed.
    void reveal(RowTableModel *model, int row);
    void showPosition();
    // Says why a write failed, on the status line and in a message.
    void notWritten(const QString &what);

    BankTables *m_tables = nullptr;
    BankTableModel *m_model = nullptr;
    QLabel *m_caption;
    QTabBar *m_tabs;
    int m_currentBank = 1;
    BankEditMenu *m_menu;
    bool m_editMode = false;
};
