#pragma once

#include "TestSupport.h"
#include "data/ChannelDatabase.h"
#include "data/RowTableModel.h"
#include "link/Prompts.h"

#include <QAbstractProxyModel>
#include <QHeaderView>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

// A channel database of the test's own, with message boxes it records.
struct Db
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Data/Orvendal.db"));
    ChannelDatabase db{path, QStringLiteral("editor-test")};
    QStringList messages;
    int beeps = 0;

    Db()
    {
        QString error;
        db.open(&error);
    }
    void exec(const QString &sql)
    {
        QSqlQuery q(db.database());
        if (!q.exec(sql))
            qFatal("%s", qPrintable(sql));
    }
    int count(const QString &sql)
    {
        QSqlQuery q(db.database());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }
    MessageFn message()
    {
        return [this](MessageKind, const QString &, const QString &text) {
            messages << text;
            return true;
        };
    }
    void fillBank1()
    {
        exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME) VALUES "
                            "(3, 154.415, '154.4150', 'C'), (1, 151.0, '151.0000', 'A'), (2, 152.0, '152.0000', 'B')"));
    }
};

inline QStringList visibleColumns(QTableView *grid)
{
    QStringList names;
    QAbstractItemModel *model = grid->model();
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int logical = grid->horizontalHeader()->logicalIndex(visual);
        if (!grid->isColumnHidden(logical))
            names << model->headerData(logical, Qt::Horizontal).toString();
    }
    return names;
}

// The grid's own index of a cell of the model it shows (the grid may sort).
inline QModelIndex gridIndex(QTableView *grid, const QModelIndex &cell)
{
    const auto *proxy = qobject_cast<QAbstractProxyModel *>(grid->model());
    return proxy && cell.model() != proxy ? proxy->mapFromSource(cell) : cell;
}

inline void key(QWidget *w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(w, k, mods);
}

