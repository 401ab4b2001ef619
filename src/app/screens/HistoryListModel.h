#pragma once

#include "history/VeskData.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>

// The history read model as a read-only list: one row per record, in the
// store's order (newest earthquake first). The store's signals arrive after
// its rows changed; the row count this model reports changes only between the
// matching begin and end calls, so views never see a count ahead of the events.
class THistoryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // The ten values of a record, in the store's field order (a QStringList).
    static constexpr int ValuesRole = Qt::UserRole + 1;

    explicit THistoryListModel(QObject* AParent = nullptr);

    // Follows AData from now on (null: an empty list).
    void SetDataMdl(TVeskDataMdl* AData);
    TVeskDataMdl* DataMdl() const { return FData; }

    int rowCount(const QModelIndex& AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex& AIndex, int ARole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& AIndex) const override;

    // A value by the store's field name ("EQ_ID", "SI_SCALE", ...); empty outside the list.
    QString Value(int ARow, const QString& AField) const;

private:
    void OnRowInserted(int ARow);
    void OnRowsRemoved(int AFirst, int ALast);
    void Reload();

    QPointer<TVeskDataMdl> FData;
    int FCount = 0;
};
