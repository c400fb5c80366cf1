#pragma once

#include "scanner/BatchedModel.h"

#include <QObject>
#include <QString>

#include <array>

// The auxiliary display's eight text lines (numbered 1 to 8) and whether
// its window is showing. Lines 1 to 4 carry what the database knows of the
// channel or talkgroup being received; 5 to 8 keep their first texts.
class AuxDisplayModel : public BatchedModel
{
    Q_OBJECT
public:
    static constexpr int kLines = 8;
    static QString initialText(int line);

    explicit AuxDisplayModel(QObject *parent = nullptr);

    // line: 1..8
    QString line(int line) const { return m_lines.at(line - 1); }
    void setLine(int line, const QString &text);
    // Lines 1 to 4 emptied.
    void clearLines();
    // Back to the first texts, as a newly made window.
    void reset();

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

signals:
    void lineChanged(int line, const QString &text);
    void visibilityRequested(bool visible);

private:
    std::array<QString, kLines> m_lines;
    bool m_visible = false;
};
