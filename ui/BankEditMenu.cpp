#include "ui/BankEditMenu.h"

#include "data/ChannelDatabase.h"
#include "data/EditorModels.h"
#include "ui/EditorClipboard.h"
#include "ui/FindDialog.h"
#include "ui/ScannerBankEditor.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>

BankEditMenu::BankEditMenu(ScannerBankEditor *editor)
    : QObject(editor)
    , m_editor(editor)
{
    QMenu *menu = editor->editMenu();
    menu->addSeparator();
    QAction *move = menu->addAction(tr("Move to Channel..."));
    move->setObjectName(QStringLiteral("actMoveToChannel"));
    connect(move, &QAction::triggered, this, &BankEditMenu::moveToChannel);
    QAction *find = menu->addAction(tr("&Find..."));
    find->setObjectName(QStringLiteral("actFind"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, &BankEditMenu::showFind);
    QAction *sort = menu->addAction(tr("Sort by channel"));
    sort->setObjectName(QStringLiteral("actSortByChannel"));
    connect(sort, &QAction::triggered, editor, &GridEditor::sortByStoredOrder);

    m_askChannel = [editor](int suggested) -> std::optional<int> {
        bool ok = false;
        const int channel = QInputDialog::getInt(editor, tr("Move to Channel"), tr("First channel of the rows moved:"),
                                                 suggested, 1, ChannelDatabase::kBanks * ChannelDatabase::kChannelsPerBank,
                                                 1, &ok);
        return ok ? std::optional<int>(channel) : std::nullopt;
    };
}

void BankEditMenu::moveToChannel()
{
    const QList<int> rows = m_editor->selectedRows();
    if (rows.isEmpty() || !m_askChannel)
        return;
    if (const std::optional<int> channel = m_askChannel(m_editor->currentChannel()))
        m_editor->moveRows(rows, *channel);
}

void BankEditMenu::showFind()
{
    if (!m_find) {
        m_find = new FindDialog(m_editor->model() ? m_editor->model()->fieldNames() : QStringList(), m_editor);
        connect(m_find, &FindDialog::findNext, this, [this](const RowFinder::Query &query) {
            if (!m_editor->find(query))
                m_find->setResult(tr("\"%1\" was not found.").arg(query.text));
        });
    }
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
}
