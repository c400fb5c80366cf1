#pragma once

#include "protocol/ModulationReply.h"
#include "protocol/ScannerMode.h"
#include "scanner/BatchedModel.h"

#include <QObject>
#include <QString>

#include <array>

// What the simulated liquid-crystal display shows: one text per display field,
// plus the status line under it. Widgets only render this model.
class DisplayModel : public BatchedModel
{
    Q_OBJECT
public:
    // In the order the fields are blanked.
    enum Field {
        BANK, BANKNUM, TRUNKTYPE, ACTIVEBANK,
        SVC_PUB, SVC_POLICE, SVC_FIRE_EMG, SVC_AIR, SVC_WX,
        ALERT, SHIFT, CHAN, CHANLBL, FREQ, MHZ, ModMode, MUTE,
        SCAN, MANUAL, PRI, HOLD, DELAY, DATA, LOCKOUT, SRCHDN, SEARCH, SRCHUP,
        FieldCount
    };
    Q_ENUM(Field)

    // Fixed texts of the display.
    static const QString kBankRow;        // "1 2 3 ... 20"
    static const QString kEnDashRow;      // the bank marker row with en dashes
    static const QString kSearchDown;     // search-down arrow
    static const QString kSearchUp;       // search-up arrow
    static const QString kStatusDesignText;

    static QString objectNameOf(Field field); // "tbBANK"
    // "MUTE AUTO", "MUTE ON", "MUTE OFF".
    static QString muteWord(MuteSetting setting);
    // "AM", "   NFM", "       WFM": each word in its own place on the line.
    static QString modulationText(Modulation modulation);
    static QString designText(Field field);

    explicit DisplayModel(QObject *parent = nullptr);

    QString text(Field field) const { return m_texts[field]; }
    void setText(Field field, const QString &text);
    // Every field empty.
    void blank();

    QString statusLine() const { return m_status; }
    void setStatusLine(const QString &text);
    // A problem shown on the status line until it is over: an empty text
    // withdraws it, bringing back what the line said before, unless the line
    // has been given another text meanwhile.
    void setProblemLine(const QString &text);

    // Self-test screens; each sets only its own fields.
    void showAllSegments();
    void showScanScreen();
    void showTrunkScreen();
    void showSearchScreen();
    void showServiceScreen();

    // Display blocks of the poll loop. clearDisplay empties every field but
    // the mute word and the alert indicator, and shows the shift indicator
    // while shift is on.
    void clearDisplay(bool shiftOn);
    void showScanTemplate();
    void showManualTemplate();
    void showSearchTemplate();
    void showTrunkSearchTemplate();

signals:
    void textChanged(DisplayModel::Field field, const QString &text);
    void statusLineChanged(const QString &text);

private:
    QString m_problem;        // the problem on the status line, if any
    QString m_beforeProblem;  // what the line said before it

    // The search word between its two arrows.
    void setSearchArrows();

    std::array<QString, FieldCount> m_texts;
    QString m_status;
};
