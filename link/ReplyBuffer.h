#pragma once

#include <QByteArray>
#include <QString>

// Received text not yet taken as a reply line (the poll loop's RxBuffer).
// Lines end at a carriage return, which is dropped.
//
// Cutting a line only moves a read offset; the text before it is dropped in
// one go once it makes up most of the buffer. Appending looks at each new
// character once. So a burst of any size costs time in proportion to its size.
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
    void append(QStringView text);

    // Cut the first line off the buffer. On Cut::Line, *line holds it.
    Cut cut(QString *line);

    // Take the next non-empty line, skipping empty ones; false when the buffer
    // holds no complete line.
    bool takeLine(QString *line);

    // What is waiting, at most kMaxPending characters.
    QString pending() const { return m_text.mid(m_head); }
    qsizetype size() const { return m_text.size() - m_head; }
    bool isEmpty() const { return m_head >= m_text.size(); }
    // Whether a complete line (or an empty one) is waiting.
    bool hasLine() const;
    void clear();

private:
    void dropOldLines();

    QString m_text;
    qsizetype m_head = 0;     // where the waiting text starts in m_text
    qsizetype m_openLine = 0; // characters kept of the line not yet ended
    bool m_dropping = false;  // inside the dropped tail of an overlong line
};
