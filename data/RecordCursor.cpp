#include "data/RecordCursor.h"

void RecordCursor::reset(int count, int row)
{
    m_count = count < 0 ? 0 : count;
    m_row = row;
    moved();
}

int RecordCursor::absolutePosition() const
{
    if (m_count == 0)
        return kUnknown;
    if (m_row < 0)
        return kBof;
    if (m_row >= m_count)
        return kEof;
    return m_row + 1;
}

void RecordCursor::moveFirst()
{
    m_row = 0;
    moved();
}

void RecordCursor::moveLast()
{
    m_row = m_count - 1;
    moved();
}

void RecordCursor::moveNext()
{
    if (m_row < m_count)
        ++m_row;
    moved();
}

void RecordCursor::movePrevious()
{
    if (m_row >= 0)
        --m_row;
    moved();
}

void RecordCursor::moveTo(int row)
{
    m_row = row;
    moved();
}
