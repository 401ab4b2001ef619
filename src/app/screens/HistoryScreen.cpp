#include "app/screens/HistoryScreen.h"

#include "alertview/AlertFonts.h"
#include "app/screens/HistoryListModel.h"
#include "history/VeskData.h"

#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

struct TCell
{
    int Line; // 0 or 1
    int X;
    int Width;
    const char* Title;
};

// Nine cells: the latitude and longitude share one. Both lines span the panel.
constexpr TCell Cells[] = {
    {0, 2, 124, "緊急地震速報発表時刻"},
    {0, 128, 150, "震央地名"},
    {0, 280, 130, "地震ID"},
    {0, 412, 65, "予測震度"},
    {1, 2, 124, "地震発生時刻"},
    {1, 128, 136, "震源緯度 / 経度"},
    {1, 266, 62, "震源深さ"},
    {1, 330, 80, "マグニチュード"},
    {1, 412, 65, "猶予秒数"},
};
constexpr int CellCount = int(std::size(Cells));

QRect CellRect(const QRect& APanel, const TCell& ACell)
{
    const int lineHeight = APanel.height() / 2;
    return QRect(APanel.left() + ACell.X, APanel.top() + ACell.Line * lineHeight, ACell.Width, lineHeight);
}

// The column titles above the list, in the panels' layout.
class THistoryHeader : public QWidget
{
public:
    explicit THistoryHeader(QWidget* AParent) : QWidget(AParent)
    {
        setObjectName(QStringLiteral("HistoryHeaderPnl"));
        setFixedHeight(36);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        THistoryPanelDelegate::PaintHeader(&p, QRect(0, 0, THistoryPanelDelegate::PanelWidth, height()), palette(),
                                           font());
    }
};

} // namespace

QStringList THistoryPanelDelegate::CellTexts(const QStringList& AValues)
{
    static const QStringList names = TVeskDataMdl::GetFieldNames();
    auto v = [&](const char* AField) {
        const qsizetype i = names.indexOf(QLatin1String(AField));
        return i >= 0 && i < AValues.size() ? AValues[i] : QString();
    };
    // A withdrawn warning (a false alarm) says so where the name is read first.
    const QString name =
        v("CANCELLED") == QLatin1String("1") ? QStringLiteral("［取消］") + v("EPIC_NAME") : v("EPIC_NAME");
    return {v("OUTGOING_TIME"),
            name,
            v("EQ_ID"),
            v("SI_SCALE"),
            v("OCCURRENCE_TIME"),
            v("EPIC_LAT") + QStringLiteral(" / ") + v("EPIC_LONG"),
            v("EPIC_DEPTH") + QStringLiteral(" Km"),
            QStringLiteral("Mg ") + v("EQ_MAGNITUDE"),
            v("SWAVE_SEC")};
}

QSize THistoryPanelDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(PanelWidth, PanelHeight);
}

void THistoryPanelDelegate::paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
                                  const QModelIndex& AIndex) const
{
    const QRect panel(AOption.rect.topLeft(), QSize(PanelWidth, PanelHeight));
    const bool current = AOption.state & QStyle::State_Selected;
    const QPalette& pal = AOption.palette;
    APainter->save();
    // No border: panels part by their alternating ground.
    QColor ground = current ? pal.color(QPalette::Highlight)
                            : (AIndex.row() % 2 ? pal.color(QPalette::AlternateBase) : pal.color(QPalette::Base));
    APainter->fillRect(AOption.rect, ground);
    APainter->setFont(AOption.font);
    APainter->setPen(current ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    const QStringList texts = CellTexts(AIndex.data(THistoryListModel::ValuesRole).toStringList());
    for (int i = 0; i < CellCount && i < texts.size(); ++i) {
        const QRect cell = CellRect(panel, Cells[i]);
        APainter->drawText(cell, Qt::AlignCenter,
                           APainter->fontMetrics().elidedText(texts[i], Qt::ElideRight, cell.width() - 2));
    }
    APainter->restore();
}

void THistoryPanelDelegate::PaintHeader(QPainter* APainter, const QRect& ARect, const QPalette& APalette,
                                        const QFont& AFont)
{
    APainter->save();
    APainter->fillRect(ARect, APalette.color(QPalette::Button));
    QFont font = AFont;
    font.setBold(true);
    APainter->setFont(font);
    APainter->setPen(APalette.color(QPalette::ButtonText));
    for (const TCell& c : Cells) {
        APainter->drawText(CellRect(ARect, c), Qt::AlignCenter, QString::fromUtf8(c.Title));
    }
    APainter->setPen(APalette.color(QPalette::Mid));
    APainter->drawLine(ARect.bottomLeft(), ARect.bottomRight());
    APainter->restore();
}

THistoryScreen::THistoryScreen(QWidget* AParent)
    : QWidget(AParent), FModel(new THistoryListModel(this)), FView(new QListView(this))
{
    setObjectName(QStringLiteral("TabHistory"));
    QFont font(AlertFonts::TextFamily());
    font.setPixelSize(11);
    setFont(font);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 4);
    root->setSpacing(3);
    auto* title = new QLabel(QStringLiteral("History"), this);
    QFont titleFont = font;
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    title->setFont(titleFont);
    root->addWidget(title);

    FView->setObjectName(QStringLiteral("EqHistoryDbCGrd"));
    FView->setModel(FModel);
    FView->setItemDelegate(new THistoryPanelDelegate(FView));
    FView->setUniformItemSizes(true);
    FView->setSelectionMode(QAbstractItemView::SingleSelection);
    FView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FView->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    FView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FView->setFrameShape(QFrame::StyledPanel);
    // Exactly five panels high; the width leaves room for the scroll bar.
    const int frame = 2 * FView->frameWidth();
    FView->setFixedSize(THistoryPanelDelegate::PanelWidth + frame + FView->verticalScrollBar()->sizeHint().width(),
                        VisiblePanels * THistoryPanelDelegate::PanelHeight + frame);

    auto* header = new THistoryHeader(this);
    header->setFixedWidth(FView->width());
    header->setContentsMargins(FView->frameWidth(), 0, 0, 0);
    root->addWidget(header);
    root->addWidget(FView);
    root->addWidget(new QLabel(QStringLiteral("※通報処理に使用した緊急地震速報を表示しています。"), this));
    root->addStretch();

    // The current record stays highlighted: the newest after a reload, a new record once written.
    connect(FModel, &QAbstractItemModel::modelReset, this, &THistoryScreen::KeepCurrentRow);
    connect(FModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int AFirst, int) { FView->setCurrentIndex(FModel->index(AFirst)); });
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, &THistoryScreen::KeepCurrentRow);
}

bool THistoryScreen::BindHistoryGrid(TVeskDataMdl* AData)
{
    FModel->SetDataMdl(AData);
    return AData != nullptr;
}

void THistoryScreen::KeepCurrentRow()
{
    if (!FView->currentIndex().isValid() && FModel->rowCount() > 0) {
        FView->setCurrentIndex(FModel->index(0));
    }
}

QList<int> THistoryScreen::VisibleRows() const
{
    QList<int> rows;
    const QRect viewport = FView->viewport()->rect();
    for (int row = 0; row < FModel->rowCount(); ++row) {
        if (FView->visualRect(FModel->index(row)).intersects(viewport)) {
            rows << row;
        }
    }
    return rows;
}
