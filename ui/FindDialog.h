#pragma once

#include "data/RowFinder.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

// Find: a text, and the column to look in (any text column, one column, or
// the frequency); Find Next asks the editor to go to the next match.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    FindDialog(const QStringList &columns, QWidget *parent);

    RowFinder::Query query() const;
    // Says that nothing was found.
    void setResult(const QString &text);

signals:
    void findNext(const RowFinder::Query &query);

private:
    QLineEdit *m_text;
    QComboBox *m_column;
    QLabel *m_result;
};
