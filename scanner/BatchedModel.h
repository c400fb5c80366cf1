#pragma once

#include <QObject>

// A model whose changes may come in batches: a view that redraws on
// updated() sees the net result of a batch once, however often a value
// changed and changed back inside it.
class BatchedModel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void beginUpdate() { ++m_depth; }
    void endUpdate()
    {
        if (m_depth > 0 && --m_depth == 0)
            emit updated();
    }
    bool isUpdating() const { return m_depth > 0; }

signals:
    // A batch has ended.
    void updated();

private:
    int m_depth = 0;
};
