#include "ui/AlertsDialog.h"

#include "alerts/AlertEngine.h"
#include "ui/AlertRuleDialog.h"
#include "ui/Prompter.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString matchText(const AlertRule &r)
{
    switch (r.match) {
    case AlertRule::Match::Talkgroups:
        return QStringLiteral("Talkgroups %1").arg(r.matchText);
    case AlertRule::Match::Channels:
        return QStringLiteral("Channels %1").arg(r.matchText);
    case AlertRule::Match::Name:
        break;
    }
    return QStringLiteral("Name contains \"%1\"").arg(r.matchText);
}

QString actionsText(const AlertRule &r)
{
    QStringList actions;
    if (r.notify)
        actions << QStringLiteral("notification");
    if (r.sound)
        actions << (r.soundFile.isEmpty() ? QStringLiteral("chime") : QStringLiteral("sound"));
    if (r.run)
        actions << QStringLiteral("program");
    return actions.join(QStringLiteral(", "));
}

} // namespace

AlertsDialog::AlertsDialog(AlertEngine *engine, QWidget *parent)
    : QDialog(parent)
    , m_engine(engine)
    , m_message(Prompter::messageBox(this))
    , m_table(new QTableWidget(0, 5, this))
    , m_edit(new QPushButton(QStringLiteral("Edit..."), this))
    , m_delete(new QPushButton(QStringLiteral("Delete"), this))
    , m_problem(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Alerts"));
    m_table->setObjectName(QStringLiteral("tblRules"));
    m_edit->setObjectName(QStringLiteral("btnEdit"));
    m_delete->setObjectName(QStringLiteral("btnDelete"));
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("On"), QStringLiteral("Matches"),
                                        QStringLiteral("Actions"), QStringLiteral("Cooldown")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *add = new QPushButton(QStringLiteral("Add..."), this);
    add->setObjectName(QStringLiteral("btnAdd"));
    auto *row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(m_edit);
    row->addWidget(m_delete);
    row->addStretch(1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(row);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    resize(640, 320);

    connect(add, &QPushButton::clicked, this, &AlertsDialog::addRule);
    connect(m_edit, &QPushButton::clicked, this, &AlertsDialog::editRule);
    connect(m_delete, &QPushButton::clicked, this, &AlertsDialog::deleteRule);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &AlertsDialog::editRule);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        m_edit->setEnabled(selectedId() != 0);
        m_delete->setEnabled(selectedId() != 0);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refresh();
}

void AlertsDialog::refresh()
{
    const qint64 selected = selectedId();
    QString error;
    QList<AlertRule> rules;
    QStringList unreadable;
    if (!m_engine->store()->load(&rules, &error, &unreadable))
        unreadable.prepend(QStringLiteral("The alert rules cannot be read: %1").arg(error));
    m_problem->setText(unreadable.join(QLatin1Char('\n')));
    m_engine->reload();
    m_table->setRowCount(0);
    for (const AlertRule &r : rules) {
        const int at = m_table->rowCount();
        m_table->insertRow(at);
        const QStringList cells = {r.name, r.enabled ? QStringLiteral("yes") : QStringLiteral("no"), matchText(r),
                                   actionsText(r), QStringLiteral("%1 s").arg(r.cooldownSecs)};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            item->setData(Qt::UserRole, r.id);
            m_table->setItem(at, c, item);
        }
        if (r.id == selected)
            m_table->selectRow(at);
    }
    m_table->resizeColumnsToContents();
    m_edit->setEnabled(selectedId() != 0);
    m_delete->setEnabled(selectedId() != 0);
}

qint64 AlertsDialog::selectedId() const
{
    const QList<QTableWidgetItem *> items = m_table->selectedItems();
    return items.isEmpty() ? 0 : items.first()->data(Qt::UserRole).toLongLong();
}

bool AlertsDialog::addRule()
{
    AlertRuleDialog dialog(AlertRule{}, m_engine->store(), this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    refresh();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->data(Qt::UserRole).toLongLong() == dialog.rule().id)
            m_table->selectRow(row);
    }
    return true;
}

bool AlertsDialog::editRule()
{
    const qint64 id = selectedId();
    const QList<AlertRule> rules = [this] {
        QList<AlertRule> list;
        QString error;
        m_engine->store()->load(&list, &error);
        return list;
    }();
    for (const AlertRule &r : rules) {
        if (r.id != id)
            continue;
        AlertRuleDialog dialog(r, m_engine->store(), this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        refresh();
        return true;
    }
    return false;
}

bool AlertsDialog::deleteRule()
{
    const qint64 id = selectedId();
    if (id == 0)
        return false;
    const QString name = m_table->item(m_table->selectedItems().first()->row(), 0)->text();
    if (!m_message(MessageKind::OkCancel, windowTitle(), QStringLiteral("Delete the alert rule \"%1\"?").arg(name)))
        return false;
    QString error;
    if (!m_engine->store()->remove(id, &error)) {
        m_problem->setText(QStringLiteral("The rule could not be deleted: %1").arg(error));
        return false;
    }
    refresh();
    return true;
}
