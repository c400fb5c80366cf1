#include "transfer/TransferReport.h"

#include <QStringList>

namespace TransferReport {

namespace {

QString bankList(const QList<int> &banks)
{
    QStringList numbers;
    for (int b : banks)
        numbers << QString::number(b);
    return numbers.join(QStringLiteral(", "));
}

QString skippedLine(int skipped)
{
    return QStringLiteral("%1 channel(s) had no frequency that could be typed in and were skipped.").arg(skipped);
}

QString otherRowsLine(int rows)
{
    return QStringLiteral("%1 other row(s) in the saved banks (a second row for a channel, a row without a channel or "
                          "with a channel outside its bank) were kept as they were; the bank editor shows them.")
        .arg(rows);
}

// The channels a restore could not confirm: the first ten, then a count.
QStringList unverifiedLines(const QStringList &channels)
{
    constexpr int kListed = 10;
    QStringList lines;
    lines << QStringLiteral("%1 channel(s) did not take their frequency:").arg(channels.size());
    lines << channels.mid(0, kListed);
    if (channels.size() > kListed)
        lines << QStringLiteral("... and %1 more.").arg(channels.size() - kListed);
    return lines;
}

} // namespace

QString message(TransferDirection direction, const BankTransfer::Result &r)
{
    const bool backup = direction == TransferDirection::Backup;
    const QString crlf = QStringLiteral("\r\n");
    const QString pressEnter = QStringLiteral("Press ENTER or click OK to continue");
    if (r.outcome == BankTransfer::Outcome::Completed && !r.unverified.isEmpty()) {
        // Typed, but not everything reads back as the tables hold it.
        QStringList lines{QStringLiteral("Scanner memory restore finished with errors.")};
        lines << unverifiedLines(r.unverified);
        if (r.skipped > 0)
            lines << skippedLine(r.skipped);
        lines << QStringLiteral("Please verify that the scanner is in PC Control mode and restore these banks again.")
              << pressEnter;
        return lines.join(crlf);
    }
    if (r.outcome == BankTransfer::Outcome::Completed) {
        QString text = backup ? QStringLiteral("Scanner memory backup SUCCESSFUL!")
                              : QStringLiteral("Scanner Memory Restore SUCCESSFUL!");
        if (!backup && r.skipped > 0)
            text += crlf + skippedLine(r.skipped);
        if (backup && r.otherRows > 0)
            text += crlf + otherRowsLine(r.otherRows);
        return text + crlf + pressEnter;
    }

    QStringList lines;
    const QString what = backup ? QStringLiteral("Scanner memory backup") : QStringLiteral("Scanner memory restore");
    if (r.outcome == BankTransfer::Outcome::Cancelled)
        lines << what + QStringLiteral(" was cancelled.");
    else
        lines << what + QStringLiteral(" FAILED: ") + r.reason + QLatin1Char('.');
    if (r.reason.contains(QLatin1String("no answer")))
        lines << QStringLiteral("Please verify that the scanner is in PC Control mode.");
    if (backup) {
        lines << (r.banksDone.isEmpty() ? QStringLiteral("No bank was saved.")
                                        : QStringLiteral("Banks saved to the database: %1.").arg(bankList(r.banksDone)));
        if (r.otherRows > 0)
            lines << otherRowsLine(r.otherRows);
        if (r.bankInProgress)
            lines << QStringLiteral("Bank %1 was left in the database as it was.").arg(r.bankInProgress);
    } else {
        lines << (r.banksDone.isEmpty() ? QStringLiteral("No bank was restored whole.")
                                        : QStringLiteral("Banks restored: %1.").arg(bankList(r.banksDone)));
        if (r.bankInProgress && r.lastChannel)
            lines << QStringLiteral("Bank %1 was restored up to channel %2.").arg(r.bankInProgress).arg(r.lastChannel);
        if (!r.unverified.isEmpty())
            lines << unverifiedLines(r.unverified);
        if (r.skipped > 0)
            lines << skippedLine(r.skipped);
    }
    lines << pressEnter;
    return lines.join(crlf);
}

} // namespace TransferReport
