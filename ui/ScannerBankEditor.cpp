#include "ui/ScannerBankEditor.h"

#include "data/BankTables.h"
#include "ui/BankButtonBar.h"
#include "ui/BankEditMenu.h"
#include "ui/BankPaste.h"
#include "data/EditorModels.h"
#include "ui/EditorHistory.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

ScannerBankEditor::ScannerBankEditor(const QString &databasePath, MessageFn message, QWidget *parent)
    : GridEditor({"ScannerBank", "BANK01", 10065, 6750, "orvendal-bank-editor"}, databasePath, std::move(message), parent)
{

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("grdCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->hide();

    grid()->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        const int index = m_tabs->addTab(QStringLiteral("Bank %1").arg(bank));
        m_tabs->setTabData(index, QStringLiteral("Bank%1").arg(bank, 2, 10, QLatin1Char('0')));
    }
    m_tabs->setExpanding(false);
    // Every way the tab changes (click, wheel, keys, code) switches the bank
    // through selectBank, so the tab and the grid never disagree. A click on
    // the tab already shown reloads its bank as well.
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0)
            selectBank(index + 1);
    });
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == m_tabs->currentIndex())
            selectBank(index + 1);
    });

    auto *buttons = new BankButtonBar(this);
    connect(button(QStringLiteral("cmdAdd")), &QPushButton::clicked, this, &ScannerBankEditor::add);
    connect(button(QStringLiteral("cmdEdit")), &QPushButton::clicked, this, &ScannerBankEditor::edit);
    connect(button(QStringLiteral("cmdUpdate")), &QPushButton::clicked, this, &ScannerBankEditor::update);
    connect(button(QStringLiteral("cmdCancel")), &QPushButton::clicked, this, &ScannerBankEditor::cancel);
    connect(button(QStringLiteral("cmdDelete")), &QPushButton::clicked, this, &ScannerBankEditor::remove);
    connect(button(QStringLiteral("cmdRefresh")), &QPushButton::clicked, this, &ScannerBankEditor::refresh);
    connect(button(QStringLiteral("cmdClose")), &QPushButton::clicked, this, &QWidget::close);

    QWidget *statusBox = makeStatusBox();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->setMenuBar(menuBar());
    layout->addWidget(m_caption);
    layout->addWidget(grid(), 1);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    layout->addWidget(statusBox);

    m_cursor.setMoved([this] { showPosition(); });

    m_menu = new BankEditMenu(this);
}

ScannerBankEditor::~ScannerBankEditor()
{
    setShownModel(nullptr);
    m_model = nullptr;
    delete m_tables; // before the connection closes
}

RowTableModel *ScannerBankEditor::shownModel() const
{
    return m_model;
}

QPushButton *ScannerBankEditor::button(const QString &objectName) const
{
    return findChild<QPushButton *>(objectName);
}

QString ScannerBankEditor::tableName() const
{
    return m_model ? m_model->tableName() : QString();
}

QString ScannerBankEditor::gridCaption() const
{
    return m_caption->text();
}

bool ScannerBankEditor::load()
{
    if (!openDatabase())
        return false;
    m_currentBank = 1;
    m_tables = new BankTables(this, database()->database());
    connect(m_tables, &BankTables::bankOpened, this, [this](BankTableModel *model) { watchModel(model); });
    history()->setReveal([this](RowTableModel *model, int row) { reveal(model, row); });
    // The first view shows the fifteen columns of the editor's own list.
    return openBank(1, false);
}

bool ScannerBankEditor::openBank(int bank, bool allColumns)
{
    QString error;
    BankTableModel *model = m_tables->opened(bank);
    if (model) {
        // A bank open before is read again; what changed is a step of the history.
        model->beginChange(tr("Read bank %1 again").arg(bank));
        const bool read = model->select();
        model->endChange();
        if (!read)
            error = model->lastError();
    } else {
        model = m_tables->bank(bank, &error);
    }
    if (!error.isEmpty()) {
        warn(tr("Bank %1 could not be opened:\n%2").arg(bank).arg(error));
        return false;
    }
    showModel(bank, model, allColumns);
    return true;
}

void ScannerBankEditor::showModel(int bank, BankTableModel *model, bool allColumns)
{
    setShownModel(model);
    m_tables->setShown(model);
    m_model = model;
    const int sFreq = model->fieldIndex(QStringLiteral("sFREQ"));
    for (int c = 0; c < model->columnCount(); ++c)
        grid()->setColumnHidden(c, !allColumns && c == sFreq);
    m_currentBank = bank;
    m_cursor.reset(model->rowCount());
}

void ScannerBankEditor::reveal(RowTableModel *model, int row)
{
    const int bank = m_tables->bankOf(model);
    if (bank == 0)
        return;
    if (model != m_model) {
        showModel(bank, static_cast<BankTableModel *>(model), true);
        showTab(bank);
        const QString caption = bank < 10 ? QStringLiteral("Bank0%1").arg(bank) : QStringLiteral("Bank%1").arg(bank);
        m_caption->setText(caption);
        m_caption->show();
        setBaseTitle(caption);
    }
    m_cursor.reset(model->rowCount(), qBound(0, row, qMax(0, model->rowCount() - 1)));
    markTitle();
}

void ScannerBankEditor::reloadTable()
{
    if (!m_model)
        return;
    const int row = m_cursor.row();
    if (!m_model->select())
        warn(tr("Bank %1 could not be read again:\n%2").arg(m_currentBank).arg(m_model->lastError()));
    m_cursor.reset(m_model->rowCount(), qBound(0, row, qMax(0, m_model->rowCount() - 1)));
}

void ScannerBankEditor::notWritten(const QString &what)
{
    status()->setText(what);
    warn(what);
}

void ScannerBankEditor::showPosition()
{
    status()->setText(QStringLiteral("Record: %1").arg(m_cursor.absolutePosition()));
    syncGridToCursor();
}

void ScannerBankEditor::setButtons(bool browsing)
{
    for (const char *name : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdClose", "cmdRefresh"})
        button(QLatin1String(name))->setVisible(browsing);
    for (const char *name : {"cmdUpdate", "cmdCancel"})
        button(QLatin1String(name))->setVisible(!browsing);
    for (const char *name : {"cmdNext", "cmdFirst", "cmdLast", "cmdPrevious"})
        button(QLatin1String(name))->setEnabled(browsing);
}

void ScannerBankEditor::add()
{
    if (!m_model)
        return;
    commitOpenCell();
    m_cursor.moveLast();
    appendRow(m_model, QStringLiteral("CHANNEL"));
}

void ScannerBankEditor::edit()
{
    status()->setText(QStringLiteral("Edit record"));
    m_editMode = true;
    setButtons(false);
}

bool ScannerBankEditor::update()
{
    commitOpenCell();
    if (!m_model)
        return false;
    const int row = m_cursor.row();
    QStringList written;
    QString error;
    if (!m_tables->submitAll(&written, &error, overwriteQuestion())) {
        // Nothing was written: say why and stay in edit mode.
        m_cursor.reset(m_model->rowCount(), qBound(0, row, qMax(0, m_model->rowCount() - 1)));
        notWritten(tr("Not saved: %1").arg(error));
        return false;
    }
    if (!written.isEmpty())
        DataChanges::announce(written, this);
    markTitle();
    m_editMode = false;
    setButtons(true);
    m_cursor.reset(m_model->rowCount(), qMin(qMax(row, 0), m_model->rowCount() - 1));
    return true;
}

void ScannerBankEditor::cancel()
{
    dropOpenCell();
    setButtons(true);
    m_editMode = false;
    if (m_tables)
        m_tables->revertAll();
    m_cursor.reset(m_model ? m_model->rowCount() : 0);
    m_cursor.moveFirst();
}

void ScannerBankEditor::remove()
{
    commitOpenCell();
    const int row = m_cursor.row();
    if (!m_model || row < 0)
        return;
    // The row leaves the grid; Update deletes it from the table.
    m_model->removeRows(row, 1);
    // On to the record after the deleted one, or the new last one.
    m_cursor.reset(m_model->rowCount(), row);
    if (m_cursor.eof())
        m_cursor.moveLast();
}

void ScannerBankEditor::refresh()
{
    if (!m_model)
        return;
    if (!settlePendingEdits(tr("Bank %1 has changes that are not saved yet.\nSave them before the bank is read again?")
                                .arg(m_currentBank)))
        return;
    reloadTable();
    m_cursor.reset(m_model->rowCount());
}

void ScannerBankEditor::first()
{
    m_cursor.moveFirst();
}

void ScannerBankEditor::last()
{
    m_cursor.moveLast();
}

void ScannerBankEditor::next()
{
    EditorNavigation::next(m_cursor, m_beep);
}

void ScannerBankEditor::previous()
{
    EditorNavigation::previous(m_cursor, m_beep);
}

bool ScannerBankEditor::hasPendingEdits() const
{
    return m_tables && m_tables->isDirty();
}

QString ScannerBankEditor::pendingEditsText() const
{
    return tr("Bank %1 has changes that are not saved yet.\nSave them before the window closes?").arg(m_currentBank);
}

void ScannerBankEditor::discardPendingEdits()
{
    if (m_tables)
        m_tables->revertAll();
}

void ScannerBankEditor::showTab(int bank)
{
    const QSignalBlocker quiet(m_tabs); // the tab follows the bank, not the other way round
    m_tabs->setCurrentIndex(bank - 1);
}

void ScannerBankEditor::selectBank(int bank)
{
    if (bank < 1 || bank > ChannelDatabase::kBanks)
        return;
    commitOpenCell();
    // Pending edits of the bank shown are written first; if they cannot be,
    // the editor (and its tab) stays on that bank so that nothing typed is lost.
    if (hasPendingEdits() && !update()) {
        showTab(m_currentBank);
        return;
    }
    m_editMode = false;
    setButtons(true);
    if (!openBank(bank, true)) {
        showTab(m_currentBank);
        return;
    }
    showTab(bank);
    const QString caption = bank < 10 ? QStringLiteral("Bank0%1").arg(bank) : QStringLiteral("Bank%1").arg(bank);
    m_caption->setText(caption);
    m_caption->show();
    setBaseTitle(caption);
}

int ScannerBankEditor::currentChannel() const
{
    const int row = m_cursor.row();
    const int column = m_model ? m_model->fieldIndex(QStringLiteral("CHANNEL")) : -1;
    bool number = false;
    const int channel = row >= 0 && column >= 0 ? m_model->value(row, column).toInt(&number) : 0;
    if (number && ChannelDatabase::bankOfChannel(channel) != 0)
        return channel;
    return (m_currentBank - 1) * ChannelDatabase::kChannelsPerBank + 1;
}

bool ScannerBankEditor::pasteLines(const QList<QStringList> &lines, const QList<int> &columns)
{
    return m_model && BankPaste(m_tables, history(), message()).paste(m_model, currentChannel(), lines, columns);
}

void ScannerBankEditor::afterBulkChange()
{
    if (m_model)
        m_cursor.reset(m_model->rowCount(), qBound(0, m_cursor.row(), qMax(0, m_model->rowCount() - 1)));
}

bool ScannerBankEditor::moveRows(QList<int> rows, int firstChannel)
{
    commitOpenCell();
    if (!m_model)
        return false;
    std::sort(rows.begin(), rows.end());
    if (!BankPaste(m_tables, history(), message()).move(m_model, rows, firstChannel))
        return false;
    afterBulkChange();
    return true;
}

QList<int> ScannerBankEditor::selectedRows() const
{
    QList<int> rows = EditorClipboard::selectedRows(grid());
    std::reverse(rows.begin(), rows.end());
    return rows;
}

bool ScannerBankEditor::find(const RowFinder::Query &query)
{
    commitOpenCell();
    QList<const RowTableModel *> banks;
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        QString error;
        banks << m_tables->bank(bank, &error); // a bank that cannot be read is passed over
    }
    const std::optional<RowFinder::Hit> hit = RowFinder::find(banks, query, m_currentBank - 1, m_cursor.row());
    if (!hit)
        return false;
    reveal(const_cast<RowTableModel *>(banks.at(hit->model)), hit->row);
    grid()->setCurrentIndex(gridIndex(m_model->index(hit->row, hit->column)));
    return true;
}
