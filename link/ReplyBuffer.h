#pragma once

#include <QByteArray>
#include <QString>

// Received text not yet taken as a reply line (the poll loop's RxBuffer).
// Lines end at a carriage return, which is dropped.
class ReplyBuffer
{
public:
    // What one cut found at the front of the buffer.
    enum class Cut {
        NoLine,    // no carriage return yet: the buffer is left as it is
        EmptyLine, // a carriage return first: that one character is removed
        Line,      // a line was taken; the buffer keeps what followed its CR
    };

    // A scanner that floods the port, or sends without ever ending a line,
    // must not make the buffer grow without bound: a line keeps at most its
    // first kMaxLine characters (the rest up to its carriage return is
    // dropped), and beyond kMaxPending characters the oldest whole lines go.
    static constexpr int kMaxLine = 256;
    static constexpr int kMaxPending = 4096;

    void append(const QByteArray &bytes);
    void append(const QString &text);

    // Cut the first line off the buffer. On Cut::Line, *line holds it.
    Cut cut(QString *line);

    // Take the next non-empty line, skipping empty ones; false when the buffer
    // holds no complete line.
    bool takeLine(QString *line);

    const QString &pending() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    // Whether a complete line (or an empty one) is waiting.
    bool hasLine() const { return m_text.contains(QLatin1Char('\r')); }
    void clear()
    {
        m_text.clear();
        m_dropping = false;
    }

private:
    QString m_text;
    bool m_dropping = false; // inside the dropped tail of an overlong line
};
