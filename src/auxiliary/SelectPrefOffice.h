#pragma once

#include "defines/VeskDefines.h"

#include <QAbstractTableModel>
#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

// The 47 prefectural offices as a read-only table of the picker's seven
// columns; every cell is text, centred, formatted as the picker shows it.
class TPrefOfficeTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TPrefOfficeColumn
    {
        pocIndexNo,
        pocPrefName,
        pocPrefOfficeName,
        pocLatitude,
        pocLongitude,
        pocGAmplification,
        pocAreaCode,
        pocCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString CellText(const TULPrefOfficeInfo& Office, int Column);
    static int ColumnWidth(int Column);
};

// Modal picker of the location among the prefectural offices. It opens on the
// first office; OK, Enter or a double click on a row accept, Cancel or Escape
// reject.
class TSelectPrefOfficeFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectPrefOfficeFrm(QWidget* AOwner = nullptr);

    // A copy of the office of the current row.
    TULPrefOfficeInfo GetSelectedPrefectureOffice() const;
    int CurrentRow() const;
    void SetCurrentRow(int Row);

    QTableView* PrefectureSGrd() const { return FGrid; }
    QPushButton* OkBtn() const { return FOkBtn; }
    QPushButton* CancelBtn() const { return FCancelBtn; }

    // Shows the picker modally over AOwner, opened on AOffice (the office chosen
    // so far). On OK writes the chosen office to AOffice and answers true;
    // otherwise leaves AOffice as it was.
    static bool Execute(QWidget* AOwner, TULPrefOfficeInfo& AOffice);

private:
    TPrefOfficeTableModel* FModel;
    QTableView* FGrid;
    QPushButton* FOkBtn;
    QPushButton* FCancelBtn;
};
