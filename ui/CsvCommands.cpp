#include "ui/CsvCommands.h"

#include "data/BankCsv.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupCsv.h"
#include "ui/ImportSummaryDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QWidget>

namespace {

const QString kFilter = QStringLiteral("CSV files (*.csv);;All files (*)");
// How long a command waits for another writer before it gives up.
constexpr int kBusyMillis = 500;

} // namespace

CsvCommands::CsvCommands(const QString &databasePath, MessageFn message, QWidget *window, QObject *parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_message(std::move(message))
    , m_window(window)
{
}

QString CsvCommands::chooseFile(FileMode mode, const QString &caption, const QString &suggested) const
{
    if (m_files)
        return m_files(mode, caption, suggested);
    const QString start = QDir(QDir::homePath()).filePath(suggested);
    return mode == FileMode::Save ? QFileDialog::getSaveFileName(m_window, caption, start, kFilter)
                                  : QFileDialog::getOpenFileName(m_window, caption, QDir::homePath(), kFilter);
}

bool CsvCommands::confirm(ImportSummaryDialog &dialog) const
{
    return m_summary ? m_summary(dialog) : dialog.exec() == QDialog::Accepted;
}

void CsvCommands::report(bool ok, const QString &title, const QString &done, const QString &error) const
{
    if (m_message)
        m_message(ok ? MessageKind::Information : MessageKind::Warning, title, ok ? done : error);
}

void CsvCommands::exportTable(const QString &title, const QString &suggested, const Exporter &write,
                              const QString &done)
{
    const QString path = chooseFile(FileMode::Save, title, suggested);
    if (path.isEmpty())
        return;
    ChannelDatabase db(m_databasePath, QStringLiteral("csv"), kBusyMillis);
    QString error;
    int rows = 0;
    const bool ok = write(db, path, &rows, &error);
    report(ok, title, done.arg(rows).arg(QDir::toNativeSeparators(path)), tr("Nothing was exported: %1").arg(error));
}

void CsvCommands::exportBanks()
{
    exportTable(tr("Export Banks to CSV"), QStringLiteral("banks.csv"), &BankCsv::exportTo,
                tr("%1 channel rows written to %2."));
}

void CsvCommands::exportTalkgroups()
{
    exportTable(tr("Export Talkgroups to CSV"), QStringLiteral("talkgroups.csv"),
                [](ChannelDatabase &db, const QString &path, int *rows, QString *error) {
                    return TalkgroupCsv::exportTo(db, path, rows, error);
                },
                tr("%1 talkgroups written to %2."));
}

void CsvCommands::importBanks()
{
    const QString title = tr("Import Banks from CSV");
    const QString path = chooseFile(FileMode::Open, title, QString());
    if (path.isEmpty())
        return;
    ChannelDatabase db(m_databasePath, QStringLiteral("csv"), kBusyMillis);
    BankCsv file;
    QString error;
    if (!file.read(path)) {
        report(false, title, {}, tr("Nothing can be imported: %1").arg(file.plan(BankCsv::Placement::ByLocation, 1).error()));
        return;
    }
    if (!file.loadExisting(db, &error)) {
        report(false, title, {}, tr("The channel database cannot be read: %1").arg(error));
        return;
    }
    ImportSummaryDialog dialog(title, path, m_window);
    dialog.offerPlacement(file.hasLocation());
    ImportPlan plan = file.plan(dialog.placement(), dialog.firstChannel());
    connect(&dialog, &ImportSummaryDialog::placementChanged, &dialog, [&](BankCsv::Placement placement, int first) {
        plan = file.plan(placement, first);
        dialog.setPlan(plan);
    });
    dialog.setPlan(plan);
    if (!confirm(dialog) || plan.rowCount() == 0)
        return; // cancelled: nothing written
    const bool ok = plan.apply(db, &error);
    report(ok, title, tr("%1 channel rows imported.").arg(plan.rowCount()),
           tr("Nothing was imported: %1").arg(error));
    if (ok)
        emit imported();
}

void CsvCommands::importTalkgroups()
{
    const QString title = tr("Import Talkgroups from CSV");
    const QString path = chooseFile(FileMode::Open, title, QString());
    if (path.isEmpty())
        return;
    ChannelDatabase db(m_databasePath, QStringLiteral("csv"), kBusyMillis);
    const ImportPlan plan = TalkgroupCsv::plan(db, path);
    if (!plan.isUsable()) {
        report(false, title, {}, tr("Nothing can be imported: %1").arg(plan.error()));
        return;
    }
    ImportSummaryDialog dialog(title, path, m_window);
    dialog.setPlan(plan);
    if (!confirm(dialog) || plan.rowCount() == 0)
        return;
    QString error;
    const bool ok = plan.apply(db, &error);
    report(ok, title, tr("%1 talkgroups added or updated.").arg(plan.rowCount()),
           tr("Nothing was imported: %1").arg(error));
    if (ok)
        emit imported();
}
