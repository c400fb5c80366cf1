#pragma once

#include "link/Prompts.h"
#include "link/SerialDevices.h"
#include "scanner/DisplayModel.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <array>

class RemoteServer;
class AlertEngine;
class RecordingControl;
class MqttPublisher;
class AuxDisplayModel;
class AuxDisplayWindow;
class CommPort;
class CsvCommands;
class DisplayAnnouncer;
class Keyboard;
class Keypad;
class MemoryTransfer;
class QLineEdit;
class QMenu;
class QPushButton;
class QSettings;
class ScannerBankEditor;
class ScannerSession;
class TalkGroupsEditor;
class Theme;
class TalkgroupActivityLog;
class TrafficTap;
class ViewWindows;

// frmFacePlate1: the virtual front panel. Renders the display model, carries
// the key buttons and the menu bar, and hands the user's actions to the
// session, the keypad and the keyboard.
class FacePlateWindow : public QMainWindow
{
    Q_OBJECT
public:
    static const QString kCaption;

    struct Wiring
    {
        ScannerSession *session = nullptr;
        CommPort *port = nullptr; // the session's, for the memory wipe
        QSettings *store = nullptr;
        QString databasePath;
        DisplayModel *display = nullptr;
        AuxDisplayModel *aux = nullptr;
        Keypad *keypad = nullptr;
        Keyboard *keyboard = nullptr;
        TalkgroupActivityLog *activity = nullptr; // the call log the activity view follows
        TrafficTap *tap = nullptr;                 // what the serial monitor shows
        RemoteServer *remote = nullptr;            // the web front panel, if any
        Theme *theme = nullptr;                    // View, Theme
        AlertEngine *alerts = nullptr;             // the alert rules, if any
        RecordingControl *recording = nullptr;     // per-call recordings, if any
        MqttPublisher *mqtt = nullptr;             // events for home automation, if any
    };

    explicit FacePlateWindow(const Wiring &wiring, QWidget *parent = nullptr);

    // The message boxes of the faceplate, its transfers and its editors.
    void setMessage(MessageFn message) { m_message = std::move(message); }
    // The editors' question when they close with changes not yet written
    // (their own message box unless set).
    void setPendingEditsQuestion(PendingEditsFn ask) { m_askPending = std::move(ask); }
    // Closes the editors, each asking first about changes not yet written;
    // false when one of them stays open.
    bool closeEditors();

    QLineEdit *field(DisplayModel::Field field) const { return m_fields[field]; }
    QLineEdit *statusLine() const { return m_status; }
    QPushButton *button(const QString &objectName) const { return m_buttons.value(objectName); }
    const QHash<QString, QPushButton *> &buttons() const { return m_buttons; }
    // A top-level menu by its object name ("File", "COM_Options", ...).
    QMenu *menu(const QString &objectName) const;

    AuxDisplayWindow *auxWindow() const { return m_auxWindow; }
    // What a screen reader is told of the display.
    DisplayAnnouncer *announcer() const { return m_announcer; }
    MemoryTransfer *memoryTransfer() const { return m_transfer; }
    // Database, the CSV export and import entries.
    CsvCommands *csvCommands() const { return m_csv; }
    // View, Talkgroup Activity / Serial Monitor.
    ViewWindows *viewWindows() const { return m_views; }
    // View, Aux Display: shows the auxiliary display and comes back to the faceplate.
    void showAuxDisplay();
    // Port Setup, Serial Device: pick the device behind the current port.
    void chooseSerialDevice();
    // Where the device chooser gets the machine's ports from (for tests).
    void setDeviceLister(std::function<QList<SerialDevice>()> lister) { m_deviceLister = std::move(lister); }
    // Database, Edit Channel Banks / Edit Talkgroups: the editor's one window.
    void openBankEditor();
    void openTalkgroupEditor();
    ScannerBankEditor *bankEditor() const;
    TalkGroupsEditor *talkgroupEditor() const;
    // Where the start-up places the faceplate and the auxiliary display.
    void placeWindows();

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void renderDirtyFields();
    bool message(MessageKind kind, const QString &title, const QString &text) const;

    Wiring m_w;
    MessageFn m_message;
    std::function<QList<SerialDevice>()> m_deviceLister;
    PendingEditsFn m_askPending;
    AuxDisplayWindow *m_auxWindow;
    DisplayAnnouncer *m_announcer = nullptr;
    MemoryTransfer *m_transfer;
    CsvCommands *m_csv;
    ViewWindows *m_views;
    QPointer<ScannerBankEditor> m_bankEditor;
    QPointer<TalkGroupsEditor> m_talkgroupEditor;
    std::array<QLineEdit *, DisplayModel::FieldCount> m_fields{};
    QLineEdit *m_status = nullptr;
    QHash<QString, QPushButton *> m_buttons;
    qreal m_dpi = 96.0;
    // Fields whose text changed since the display was last drawn.
    std::array<bool, DisplayModel::FieldCount> m_dirty{};
    bool m_renderPending = false;
};
