#include "auxiliary/SelectPrefOffice.h"

#include "logging/VeskLogging.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr std::array<int, TPrefOfficeTableModel::pocCount> ColumnWidths = {40, 0, 88, 72, 72, 64, 64};
constexpr int RowHeight = 24;

} // namespace

int TPrefOfficeTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetPrefOfficeCount();
}

int TPrefOfficeTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : pocCount;
}

QString TPrefOfficeTableModel::CellText(const TULPrefOfficeInfo& Office, int Column)
{
    switch (Column) {
    case pocIndexNo:
        return QString::number(Office.IndexNo);
    case pocPrefName:
        return Office.PrefName;
    case pocPrefOfficeName:
        return Office.PrefOfficeName;
    case pocLatitude:
        return QString::asprintf("%3.5f", double(Office.Latitude));
    case pocLongitude:
        return QString::asprintf("%3.5f", double(Office.Longitude));
    case pocGAmplification:
        return QString::asprintf("%1.3f", double(Office.GAmplification));
    case pocAreaCode:
        return Office.AreaCode;
    default:
        return {};
    }
}

int TPrefOfficeTableModel::ColumnWidth(int Column)
{
    return Column >= 0 && Column < pocCount ? ColumnWidths[size_t(Column)] : 0;
}

QVariant TPrefOfficeTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= GetPrefOfficeCount())
        return {};
    if (role == Qt::DisplayRole)
        return CellText(GetPrefOffice(index.row()), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

QVariant TPrefOfficeTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const std::array<QString, pocCount> Headers = {
        QStringLiteral("No."),  QStringLiteral("県名"),   QStringLiteral("県庁名称"),  QStringLiteral("緯度"),
        QStringLiteral("経度"), QStringLiteral("増幅率"), QStringLiteral("地域コード")};
    return section >= 0 && section < pocCount ? Headers[size_t(section)] : QString();
}

TSelectPrefOfficeFrm::TSelectPrefOfficeFrm(QWidget* AOwner)
    : QDialog(AOwner), FModel(new TPrefOfficeTableModel(this)), FGrid(new QTableView(this)),
      FOkBtn(new QPushButton(QStringLiteral("OK"), this)), FCancelBtn(new QPushButton(QStringLiteral("取り消し"), this))
{
    setWindowTitle(QStringLiteral("県庁所在地の選択"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Modal to its own window only: the alert window must take input while it is open.
    setWindowModality(Qt::WindowModal);

    FGrid->setModel(FModel);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setShowGrid(false);
    FGrid->setWordWrap(false);
    FGrid->setTabKeyNavigation(false);
    FGrid->verticalHeader()->hide();
    FGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->verticalHeader()->setDefaultSectionSize(RowHeight);
    FGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->horizontalHeader()->setHighlightSections(false);
    FGrid->horizontalHeader()->setFixedHeight(RowHeight);
    FGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    int visibleWidth = 0;
    for (int c = 0; c < TPrefOfficeTableModel::pocCount; ++c) {
        const int w = TPrefOfficeTableModel::ColumnWidth(c);
        if (w == 0)
            FGrid->setColumnHidden(c, true);
        else
            FGrid->setColumnWidth(c, w);
        visibleWidth += w;
    }
    const int scrollBarWidth = FGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FGrid);
    FGrid->setFixedWidth(visibleWidth + scrollBarWidth + 2 * FGrid->frameWidth());

    FOkBtn->setDefault(true);
    FOkBtn->setAutoDefault(true);
    FCancelBtn->setAutoDefault(false);
    FOkBtn->setFixedSize(75, 25);
    FCancelBtn->setFixedSize(75, 25);
    connect(FOkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(FCancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(FGrid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            accept();
    });

    auto* prompt = new QLabel(QStringLiteral("最寄りの県庁所在地を一覧の中から選択してください。"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(FOkBtn);
    buttons->addWidget(FCancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(FGrid, 1, Qt::AlignHCenter);
    layout->addLayout(buttons);
    setFixedSize(474, 331);

    SetCurrentRow(0);
}

int TSelectPrefOfficeFrm::CurrentRow() const
{
    const QModelIndex current = FGrid->currentIndex();
    return current.isValid() ? current.row() : 0;
}

void TSelectPrefOfficeFrm::SetCurrentRow(int Row)
{
    if (Row < 0 || Row >= FModel->rowCount())
        return;
    FGrid->setCurrentIndex(FModel->index(Row, TPrefOfficeTableModel::pocIndexNo));
    FGrid->selectRow(Row);
}

TULPrefOfficeInfo TSelectPrefOfficeFrm::GetSelectedPrefectureOffice() const
{
    return GetPrefOffice(CurrentRow());
}

bool TSelectPrefOfficeFrm::Execute(QWidget* AOwner, TULPrefOfficeInfo& AOffice)
{
    TVeskLogger* log = TVeskLogger::OrNull(VeskLogger());
    TVeskLogScope scope(log, QStringLiteral("TSelectPrefOfficeFrm.Execute()"));
    TSelectPrefOfficeFrm picker(AOwner);
    // Opens on the office chosen so far, so that OK at once keeps it.
    for (int row = 0; row < GetPrefOfficeCount(); ++row) {
        if (!AOffice.PrefOfficeName.isEmpty() && GetPrefOffice(row).PrefOfficeName == AOffice.PrefOfficeName) {
            picker.SetCurrentRow(row);
            break;
        }
    }
    if (AOwner) {
        const QRect owner = AOwner->frameGeometry();
        picker.move(owner.center() - picker.rect().center());
    }
    const bool accepted = picker.exec() == QDialog::Accepted;
    log->Send(QStringLiteral("Accepted"), accepted);
    if (!accepted)
        return false;
    AOffice = picker.GetSelectedPrefectureOffice();
    log->Send(vmtNotable, QStringLiteral("PrefOfficeName"), AOffice.PrefOfficeName);
    log->Send(vmtNotable, QStringLiteral("IndexNo"), int(AOffice.IndexNo));
    return true;
}
