#pragma once

#include "ui/FindDialog.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class ScannerBankEditor;

// The bank editor's own entries of its Edit menu: "Move to Channel...",
// Find (Ctrl+F) across all banks, and "Sort by channel".
class BankEditMenu : public QObject
{
    Q_OBJECT
public:
    explicit BankEditMenu(ScannerBankEditor *editor);

    // Asks for the first channel of a move; no value when cancelled.
    using ChannelQuestion = std::function<std::optional<int>(int suggested)>;
    void setChannelQuestion(ChannelQuestion ask) { m_askChannel = std::move(ask); }

    void moveToChannel();
    // Shows the Find box.
    void showFind();
    FindDialog *findDialog() const { return m_find; }

private:
    ScannerBankEditor *m_editor;
    ChannelQuestion m_askChannel;
    QPointer<FindDialog> m_find;
};
