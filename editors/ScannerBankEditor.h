#pragma once

#include "editors/EditorNavigation.h"
#include "editors/RecordCursor.h"
#include "link/Prompter.h"

#include <QWidget>

#include <memory>

class BankTableModel;
class ChannelDatabase;
class QLabel;
class QPushButton;
class QTabBar;
class QTableView;

// ScannerBank: one bank table of the channel database in a grid, a tab per
// bank. Edits are kept until Update (or a switch to another bank) writes them.
class ScannerBankEditor : public QWidget
{
    Q_OBJECT
public:
    ScannerBankEditor(const QString &databasePath, MessageFn message, QWidget *parent = nullptr);
    ~ScannerBankEditor() override;

    // Opens the database and shows bank 1; false (after saying why) when it
    // cannot be opened.
    bool load();

    void setBeep(EditorNavigation::Beep beep) { m_beep = std::move(beep); }

    int currentBank() const { return m_currentBank; }
    bool editMode() const { return m_editMode; }
    QString tableName() const;
    QString gridCaption() const;
    BankTableModel *model() const { return m_model; }
    QTableView *grid() const { return m_grid; }
    QTabBar *tabs() const { return m_tabs; }
    QLabel *status() const { return m_status; }
    RecordCursor &cursor() { return m_cursor; }
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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setButtons(bool browsing);
    bool openBank(int bank, bool allColumns);
    void syncCursorToModel(int row);
    void showPosition();

    QString m_path;
    MessageFn m_message;
    EditorNavigation::Beep m_beep;
    std::unique_ptr<ChannelDatabase> m_db;
    BankTableModel *m_model = nullptr;
    QTableView *m_grid;
    QLabel *m_caption;
    QTabBar *m_tabs;
    QLabel *m_status;
    RecordCursor m_cursor;
    int m_currentBank = 1;
    bool m_editMode = false;
    bool m_syncing = false;
};
