#include "ui/ImportSummaryDialog.h"

#include "data/ChannelDatabase.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

ImportSummaryDialog::ImportSummaryDialog(const QString &title, const QString &fileName, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportSummaryDialog"));
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("File: %1").arg(QFileInfo(fileName).fileName()), this));

    auto *box = new QGroupBox(tr("Where the rows go"), this);
    m_placementBox = box;
    auto *placementLayout = new QVBoxLayout(box);
    m_byLocation = new QRadioButton(tr("place by Location"), box);
    m_byLocation->setObjectName(QStringLiteral("byLocation"));
    auto *fileOrderRow = new QHBoxLayout;
    m_fileOrder = new QRadioButton(tr("in file order from channel"), box);
    m_fileOrder->setObjectName(QStringLiteral("fileOrder"));
    m_first = new QSpinBox(box);
    m_first->setObjectName(QStringLiteral("firstChannel"));
    m_first->setRange(1, ChannelDatabase::kBanks * ChannelDatabase::kChannelsPerBank);
    fileOrderRow->addWidget(m_fileOrder);
    fileOrderRow->addWidget(m_first);
    fileOrderRow->addStretch();
    placementLayout->addWidget(m_byLocation);
    placementLayout->addLayout(fileOrderRow);
    box->hide();
    layout->addWidget(box);

    m_totals = new QLabel(this);
    layout->addWidget(m_totals);
    m_counts = new QTableWidget(0, 4, this);
    m_counts->setObjectName(QStringLiteral("counts"));
    m_counts->setHorizontalHeaderLabels({tr("Table"), tr("Add"), tr("Replace"), tr("Unchanged")});
    m_counts->verticalHeader()->hide();
    m_counts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_counts->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_counts);
    layout->addWidget(new QLabel(tr("Lines refused:"), this));
    m_refused = new QListWidget(this);
    m_refused->setObjectName(QStringLiteral("refused"));
    layout->addWidget(m_refused);
    m_unknown = new QLabel(this);
    m_unknown->setObjectName(QStringLiteral("ignoredColumns"));
    m_unknown->setWordWrap(true);
    layout->addWidget(m_unknown);

    auto *buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("import"));
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const auto changed = [this] {
        m_first->setEnabled(m_fileOrder->isChecked());
        emit placementChanged(placement(), firstChannel());
    };
    connect(m_byLocation, &QRadioButton::toggled, this, [changed](bool on) {
        if (on)
            changed();
    });
    connect(m_fileOrder, &QRadioButton::toggled, this, [changed](bool on) {
        if (on)
            changed();
    });
    connect(m_first, &QSpinBox::valueChanged, this, [this, changed] {
        if (m_fileOrder->isChecked())
            changed();
    });
    resize(520, 520);
}

void ImportSummaryDialog::offerPlacement(bool byLocation)
{
    m_placementBox->show();
    const QSignalBlocker a(m_byLocation);
    const QSignalBlocker b(m_fileOrder);
    m_byLocation->setEnabled(byLocation);
    (byLocation ? m_byLocation : m_fileOrder)->setChecked(true);
    m_first->setEnabled(!byLocation);
}

BankCsv::Placement ImportSummaryDialog::placement() const
{
    return m_fileOrder->isChecked() ? BankCsv::Placement::FileOrder : BankCsv::Placement::ByLocation;
}

int ImportSummaryDialog::firstChannel() const
{
    return m_first->value();
}

void ImportSummaryDialog::setPlan(const ImportPlan &plan)
{
    m_counts->setRowCount(0);
    m_refused->clear();
    if (!plan.isUsable()) {
        m_totals->setText(tr("Nothing can be imported: %1").arg(plan.error()));
        m_unknown->clear();
        m_import->setEnabled(false);
        return;
    }
    for (const ImportPlan::Group &g : plan.groups()) {
        if (g.added == 0 && g.replaced == 0 && g.unchanged == 0)
            continue;
        const int row = m_counts->rowCount();
        m_counts->insertRow(row);
        m_counts->setItem(row, 0, new QTableWidgetItem(g.name));
        m_counts->setItem(row, 1, new QTableWidgetItem(QString::number(g.added)));
        m_counts->setItem(row, 2, new QTableWidgetItem(QString::number(g.replaced)));
        m_counts->setItem(row, 3, new QTableWidgetItem(QString::number(g.unchanged)));
    }
    for (const ImportPlan::Refusal &r : plan.refused())
        m_refused->addItem(tr("line %1: %2").arg(r.line).arg(r.reason));
    if (plan.refusedCount() > plan.refused().size())
        m_refused->addItem(tr("... and %1 more lines refused").arg(plan.refusedCount() - plan.refused().size()));
    m_totals->setText(tr("%1 rows to write, %2 lines refused.").arg(plan.rowCount()).arg(plan.refusedCount()));
    m_unknown->setText(plan.unknownColumns().isEmpty()
                           ? QString()
                           : tr("Columns ignored: %1").arg(plan.unknownColumns().join(QStringLiteral(", "))));
    m_import->setEnabled(plan.rowCount() > 0);
}
