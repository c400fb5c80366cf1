#pragma once

#include "ui/EditorClipboard.h"
#include "link/Prompts.h"

class BankTables;
class EditorHistory;
class RowTableModel;

// Channel rows written into the banks by channel number: a paste, and
// "Move to Channel...". A block that runs past the bank goes on into the
// next banks only once the user agrees.
class BankPaste
{
public:
    BankPaste(BankTables *tables, EditorHistory *history, MessageFn message);

    // Pastes lines into the channels from firstChannel on. False (after
    // saying why) when nothing was written.
    bool paste(const RowTableModel *shown, int firstChannel, const QList<QStringList> &lines,
               const QList<int> &columns);
    // Moves the rows (of the model, in the order given) to the channels from
    // firstChannel on; the channels they leave are emptied. Asks before it
    // replaces a channel holding data.
    bool move(RowTableModel *from, const QList<int> &rows, int firstChannel);

    // Whether a row holds anything besides its channel number.
    static bool holdsData(const RowTableModel *model, int row);

private:
    // How many of count channels from first the user lets the block fill;
    // 0 when the block stops.
    int channelsToFill(int first, int count, const QString &what);
    // The line written into a channel's row (made when the bank has none).
    bool writeChannel(int channel, const EditorClipboard::Line &line, const QString &text,
                      QList<RowTableModel *> *begun);
    bool ask(const QString &text);

    BankTables *m_tables;
    EditorHistory *m_history;
    MessageFn m_message;
};
