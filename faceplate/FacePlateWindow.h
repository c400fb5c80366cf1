#pragma once

#include "faceplate/DisplayModel.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <array>

class AuxDisplayWindow;
class FacePlate;
class MemoryTransfer;
class ScannerBankEditor;
class TalkGroupsEditor;
class QLineEdit;
class QPushButton;
class QMenu;

// frmFacePlate1: the virtual front panel. Renders the display model, carries
// the key buttons and the menu bar, and forwards the user's actions to the
// FacePlate controller.
class FacePlateWindow : public QMainWindow
{
    Q_OBJECT
public:
    static const QString kCaption;

    explicit FacePlateWindow(FacePlate *plate, QWidget *parent = nullptr);

    FacePlate *plate() const { return m_plate; }
    QLineEdit *field(DisplayModel::Field field) const { return m_fields[field]; }
    QLineEdit *statusLine() const { return m_status; }
    QPushButton *button(const QString &objectName) const { return m_buttons.value(objectName); }
    const QHash<QString, QPushButton *> &buttons() const { return m_buttons; }
    // A top-level menu by its object name ("File", "COM_Options", ...).
    QMenu *menu(const QString &objectName) const;

    // Runs the faceplate's start-up: settings, port, placement, self-test, polling.
    void load();

    AuxDisplayWindow *auxWindow() const { return m_auxWindow; }
    MemoryTransfer *memoryTransfer() const { return m_transfer; }
    // View, Aux Display: shows the auxiliary display and comes back to the faceplate.
    void showAuxDisplay();
    // Database, Edit Channel Banks / Edit Talkgroups: the editor's one window.
    void openBankEditor();
    void openTalkgroupEditor();
    ScannerBankEditor *bankEditor() const;
    TalkGroupsEditor *talkgroupEditor() const;

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel(QWidget *panel);
    void buildMenus();
    QLineEdit *makeField(QWidget *panel, const QString &name, const QString &text, const QRect &twips);
    QPushButton *makeButton(QWidget *panel, const QString &name, const QString &caption,
                            const QString &toolTip, const QRect &twips);
    void placeWindows();
    void renderDirtyFields();
    QRect px(const QRect &twips) const;

    FacePlate *m_plate;
    AuxDisplayWindow *m_auxWindow;
    MemoryTransfer *m_transfer;
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
