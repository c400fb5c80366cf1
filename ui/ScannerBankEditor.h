#pragma once

#include "ui/GridEditor.h"

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
    bool m_editMode = false;
};
