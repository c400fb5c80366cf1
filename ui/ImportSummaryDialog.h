#pragma once

#include "data/BankCsv.h"
#include "data/ImportPlan.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

// What an import will do, shown before anything is written: rows to add or
// replace per bank (or for the talkgroups), the refused lines with their
// reasons, the ignored columns, and for channel lists where the rows go.
// Import accepts the dialog, Cancel rejects it; the caller writes.
class ImportSummaryDialog : public QDialog
{
    Q_OBJECT
public:
    ImportSummaryDialog(const QString &title, const QString &fileName, QWidget *parent = nullptr);

    // Offers the choice of placement (channel lists only), starting with
    // placing by Location where the file has that column.
    void offerPlacement(bool byLocation);
    BankCsv::Placement placement() const;
    int firstChannel() const;

    // Shows a plan; Import is offered only when it has rows to write.
    void setPlan(const ImportPlan &plan);

    QTableWidget *counts() const { return m_counts; }
    QListWidget *refusedLines() const { return m_refused; }
    QLabel *ignoredColumns() const { return m_unknown; }
    QRadioButton *byLocationButton() const { return m_byLocation; }
    QRadioButton *fileOrderButton() const { return m_fileOrder; }
    QSpinBox *firstChannelBox() const { return m_first; }
    QPushButton *importButton() const { return m_import; }

signals:
    // The user chose another placement; the caller answers with setPlan().
    void placementChanged(BankCsv::Placement placement, int firstChannel);

private:
    QWidget *m_placementBox;
    QRadioButton *m_byLocation;
    QRadioButton *m_fileOrder;
    QSpinBox *m_first;
    QLabel *m_totals;
    QTableWidget *m_counts;
    QListWidget *m_refused;
    QLabel *m_unknown;
    QPushButton *m_import;
};
