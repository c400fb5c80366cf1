#pragma once

#include "data/ActivityModels.h"
#include "link/Prompts.h"

#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class ActivityListModel;
class ActivitySummaryModel;
class ChannelDatabase;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class RecordingPlayer;
class TalkgroupActivityLog;

// View, Talkgroup Activity: the call log, newest first, and per talkgroup how
// often and when last it was heard, both under one filter (an ID and a time
// span). Follows the log while it is shown. A call with a recording shows
// its length; the recording plays with a double click or Play, and its
// folder opens or it is deleted (the call stays listed) from the buttons
// below the list.
class ActivityWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;
    // The spans offered, in hours; 0 is every row.
    static const QList<int> kSpanHours;
    // New rows are shown at most this often: the counts are a query over the
    // whole log, which must not run once per write while the loop polls.
    static constexpr int kLiveMillis = 1000;

    ActivityWindow(const QString &databasePath, TalkgroupActivityLog *log, MessageFn message, QWidget *parent = nullptr);
    ~ActivityWindow() override;

    // Opens its connection and runs the filter; false (the user told) when
    // the database cannot be read.
    bool load();
    // Runs the filter again.
    void refresh();
    // Writes the filtered list as CSV; false (the user told) on failure.
    bool exportTo(const QString &path);
    // Shows only the calls of one talkgroup (in the span chosen).
    void filterToTalkgroup(const QString &id);

    // The list's row selected (-1 for none).
    int currentRow() const;
    void selectRow(int row);
    // The recording of a row: played, its folder opened, or deleted after
    // the user agrees (file and entry; the call stays). False (the user
    // told where there is something to tell) when it cannot be done.
    bool playRow(int row);
    bool openFolderOf(int row);
    bool deleteRecordingAt(int row);
    // How a folder is opened (the desktop's file manager unless set).
    using OpenUrlFn = std::function<bool(const QUrl &url)>;
    void setOpenUrl(OpenUrlFn open) { m_openUrl = std::move(open); }
    RecordingPlayer *player() const { return m_player; }
    QTableView *listView() const { return m_listView; }

    QLineEdit *idFilter() const { return m_id; }
    QComboBox *spanFilter() const { return m_span; }
    ActivityListModel *listModel() const { return m_list; }
    ActivitySummaryModel *summaryModel() const { return m_summary; }

protected:
    void showEvent(QShowEvent *event) override;
    // Closed, it plays nothing on.
    void hideEvent(QHideEvent *event) override;

private:
    ActivityFilter currentFilter() const;
    void exportAsked();
    // Play, Open Folder and Delete Recording only for a row with a recording.
    void updateButtons();

    QString m_databasePath;
    std::unique_ptr<ChannelDatabase> m_db;
    MessageFn m_message;
    OpenUrlFn m_openUrl;
    RecordingPlayer *m_player = nullptr;
    QPushButton *m_openFolder = nullptr;
    QPushButton *m_delete = nullptr;
    ActivityListModel *m_list = nullptr;
    ActivitySummaryModel *m_summary = nullptr;
    QLineEdit *m_id = nullptr;
    QComboBox *m_span = nullptr;
    QTableView *m_listView = nullptr;
    QTableView *m_summaryView = nullptr;
    QTimer m_live;
    bool m_failed = false;
};
