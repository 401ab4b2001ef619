#pragma once

#include <QStyledItemDelegate>
#include <QWidget>

class QListView;
class THistoryListModel;
class TVeskDataMdl;

// Paints one history record as a 479 x 60 panel: ten centred cells in two
// lines, the current record in the highlight colour. PaintHeader draws the
// column titles in the same layout.
class THistoryPanelDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int PanelWidth = 479;
    static constexpr int PanelHeight = 60;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* APainter, const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override;
    QSize sizeHint(const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override;

    // The texts of a record as its panel shows them, line 1 then line 2; the
    // latitude and longitude share a cell ("35.40 / 139.70"), the depth and the
    // magnitude carry their units ("10 Km", "Mg 6.8").
    static QStringList CellTexts(const QStringList& AValues);
    static void PaintHeader(QPainter* APainter, const QRect& ARect, const QPalette& APalette, const QFont& AFont);
};

// The history screen: the records of the history store, newest earthquake
// first, five panels visible and the rest by scrolling. Read-only; it follows
// the store as records are written or trimmed.
class THistoryScreen : public QWidget
{
    Q_OBJECT

public:
    static constexpr int VisiblePanels = 5;

    explicit THistoryScreen(QWidget* AParent = nullptr);

    // Binds the list to the store (once the store is opened or created at start-up);
    // false without a store, which leaves the list empty.
    bool BindHistoryGrid(TVeskDataMdl* AData);

    THistoryListModel* Model() const { return FModel; }
    QListView* View() const { return FView; }
    // Rows whose panels lie (at least partly) in the visible part of the list.
    QList<int> VisibleRows() const;

private:
    void KeepCurrentRow();

    THistoryListModel* FModel;
    QListView* FView;
};
