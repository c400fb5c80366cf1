#pragma once

#include "link/Prompts.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class ChannelDatabase;
class ImportSummaryDialog;
class QWidget;

// The Database menu's CSV entries: export the banks or the talkgroups to a
// file, import them from one after a summary the user confirms. Each command
// opens its own connection to the database for as long as it runs.
class CsvCommands : public QObject
{
    Q_OBJECT
public:
    enum class FileMode { Open, Save };
    // The file chooser: caption and suggested name in, the chosen path out
    // (empty when cancelled). Tests answer through one of their own.
    using FileFn = std::function<QString(FileMode mode, const QString &caption, const QString &suggested)>;
    // Shows the import summary; true when the user chose Import.
    using SummaryFn = std::function<bool(ImportSummaryDialog &dialog)>;

    CsvCommands(const QString &databasePath, MessageFn message, QWidget *window, QObject *parent = nullptr);

    void setFileDialog(FileFn files) { m_files = std::move(files); }
    void setSummary(SummaryFn summary) { m_summary = std::move(summary); }

    void exportBanks();
    void importBanks();
    void exportTalkgroups();
    void importTalkgroups();

signals:
    // An import wrote rows.
    void imported();

private:
    using Exporter = std::function<bool(ChannelDatabase &db, const QString &path, int *rows, QString *error)>;
    void exportTable(const QString &title, const QString &suggested, const Exporter &write, const QString &done);
    QString chooseFile(FileMode mode, const QString &caption, const QString &suggested) const;
    bool confirm(ImportSummaryDialog &dialog) const;
    void report(bool ok, const QString &title, const QString &done, const QString &error) const;

    QString m_databasePath;
    MessageFn m_message;
    QPointer<QWidget> m_window;
    FileFn m_files;
    SummaryFn m_summary;
};
