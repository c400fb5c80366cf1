#pragma once

#include <QObject>

// A model whose changes may come in batches: a view that redraws on
// updated() sees the net result of a batch once, however often a value
// changed and changed back inside it; a batch that changed nothing says
// nothing.
class BatchedModel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void beginUpdate() { ++m_depth; }
    void endUpdate()
    {
        if (m_depth > 0 && --m_depth == 0 && m_changed) {
            m_changed = false;
            emit updated();
        }
    }
    bool isUpdating() const { return m_depth > 0; }

signals:
    // A batch that changed something has ended.
    void updated();

protected:
    // Subclasses call this when a value really changes.
    void markChanged()
    {
        if (m_depth > 0)
            m_changed = true;
    }

private:
    int m_depth = 0;
    bool m_changed = false;
};
