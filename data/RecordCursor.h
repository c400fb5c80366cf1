#pragma once

#include <functional>

// The current record of a grid editor, with the recordset's notion of being
// before the first or after the last row. Positions are 1-based; the
// negative codes are those the editors show for "no row".
class RecordCursor
{
public:
    static constexpr int kUnknown = -1; // no rows
    static constexpr int kBof = -2;     // before the first row
    static constexpr int kEof = -3;     // after the last row

    int count() const { return m_count; }
    // The row count changed (load, add, delete). The cursor goes to the
    // given 0-based row, or is left unknown for an empty set.
    void reset(int count, int row = 0);

    bool bof() const { return m_count == 0 || m_row < 0; }
    bool eof() const { return m_count == 0 || m_row >= m_count; }
    // The current 0-based row, or -1 when there is none.
    int row() const { return bof() || eof() ? -1 : m_row; }
    // 1-based position, or one of the negative codes.
    int absolutePosition() const;

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void moveTo(int row);

    // Called after every move with the new position.
    void setMoved(std::function<void()> moved) { m_moved = std::move(moved); }

private:
    void moved()
    {
        if (m_moved)
            m_moved();
    }

    int m_count = 0;
    int m_row = 0;
    std::function<void()> m_moved;
};
