#include "app/screens/HistoryListModel.h"

#include "history/VeskData.h"

THistoryListModel::THistoryListModel(QObject* AParent) : QAbstractListModel(AParent) {}

void THistoryListModel::SetDataMdl(TVeskDataMdl* AData)
{
    beginResetModel();
    if (FData) {
        FData->disconnect(this);
    }
    FData = AData;
    FCount = FData ? FData->RowCount() : 0;
    if (FData) {
        connect(FData, &TVeskDataMdl::rowInserted, this, &THistoryListModel::OnRowInserted);
        connect(FData, &TVeskDataMdl::rowsRemoved, this, &THistoryListModel::OnRowsRemoved);
        connect(FData, &TVeskDataMdl::tableReset, this, &THistoryListModel::Reload);
        connect(FData, &QObject::destroyed, this, [this] { SetDataMdl(nullptr); });
    }
    endResetModel();
}

int THistoryListModel::rowCount(const QModelIndex& AParent) const
{
    return AParent.isValid() ? 0 : FCount;
}

QVariant THistoryListModel::data(const QModelIndex& AIndex, int ARole) const
{
    if (!FData || !AIndex.isValid() || AIndex.row() >= FCount || AIndex.row() >= FData->RowCount()) {
        return {};
    }
    switch (ARole) {
    case ValuesRole:
        return FData->GetRow(AIndex.row());
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return FData->GetRow(AIndex.row()).join(QLatin1Char(' '));
    default:
        return {};
    }
}

Qt::ItemFlags THistoryListModel::flags(const QModelIndex& AIndex) const
{
    // Read-only: selectable for the highlight, never editable.
    return AIndex.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString THistoryListModel::Value(int ARow, const QString& AField) const
{
    const int field = static_cast<int>(TVeskDataMdl::GetFieldNames().indexOf(AField));
    if (!FData || ARow < 0 || ARow >= FCount || field < 0) {
        return QString();
    }
    return FData->GetValue(ARow, field);
}

void THistoryListModel::OnRowInserted(int ARow)
{
    // Anything but one row more is a change this model did not follow: start over.
    if (!FData || FData->RowCount() != FCount + 1 || ARow < 0 || ARow > FCount) {
        Reload();
        return;
    }
    beginInsertRows(QModelIndex(), ARow, ARow);
    ++FCount;
    endInsertRows();
}

void THistoryListModel::OnRowsRemoved(int AFirst, int ALast)
{
    const int removed = ALast - AFirst + 1;
    if (!FData || AFirst < 0 || removed <= 0 || ALast >= FCount || FData->RowCount() != FCount - removed) {
        Reload();
        return;
    }
    beginRemoveRows(QModelIndex(), AFirst, ALast);
    FCount -= removed;
    endRemoveRows();
}

void THistoryListModel::Reload()
{
    beginResetModel();
    FCount = FData ? FData->RowCount() : 0;
    endResetModel();
}
