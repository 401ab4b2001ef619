#include "auxiliary/SelectPrefOffice.h"

#include "GuiTestSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>

namespace {

TSelectPrefOfficeFrm* Picker(QWidget* AModal)
{
    auto* picker = qobject_cast<TSelectPrefOfficeFrm*>(AModal);
    EXPECT_NE(picker, nullptr) << "the open modal window is not the office picker";
    return picker;
}

void SendKey(QWidget* ATarget, int AKey)
{
    QKeyEvent press(QEvent::KeyPress, AKey, Qt::NoModifier);
    QApplication::sendEvent(ATarget, &press);
}

// A real double click on a row of the grid, as the mouse delivers it.
void DoubleClickRow(QTableView* AGrid, int ARow)
{
    const QModelIndex index = AGrid->model()->index(ARow, TPrefOfficeTableModel::pocPrefOfficeName);
    AGrid->scrollTo(index);
    const QPointF pos = AGrid->visualRect(index).center();
    QWidget* viewport = AGrid->viewport();
    const QPointF global = viewport->mapToGlobal(pos);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

int RowOf(const QString& AOfficeName)
{
    for (int r = 0; r < GetPrefOfficeCount(); ++r)
        if (GetPrefOffice(r).PrefOfficeName == AOfficeName)
            return r;
    return -1;
}

} // namespace

TEST(SelectPrefOffice, GridShowsEveryOfficeWithItsFormats)
{
    TSelectPrefOfficeFrm picker;
    const QAbstractItemModel* model = picker.PrefectureSGrd()->model();
    ASSERT_EQ(model->rowCount(), 47);
    ASSERT_EQ(model->columnCount(), 7);

    const QStringList headers = {"No.", "県名", "県庁名称", "緯度", "経度", "増幅率", "地域コード"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), headers[c]) << "column " << c;

    // Two rows written out in full: the first and the default location.
    const QList<QStringList> known = {{"1", "北海道", "北海道庁", "43.06461", "141.34682", "2.927", "101"},
                                      {"13", "東京都", "東京都庁", "35.68949", "139.69171", "2.578", "350"}};
    for (const QStringList& row : known) {
        const int r = row[0].toInt() - 1;
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(model->index(r, c).data().toString(), row[c]) << "row " << r << " column " << c;
    }

    // Every row: its own table row, formatted with five, five and three decimals, centred.
    const QList<QRegularExpression> shapes = {QRegularExpression("^\\d{1,2}$"),
                                              QRegularExpression("^\\S+[都道府県]$"),
                                              QRegularExpression("^\\S+[都道府県]庁$"),
                                              QRegularExpression("^\\d{2}\\.\\d{5}$"),
                                              QRegularExpression("^\\d{3}\\.\\d{5}$"),
                                              QRegularExpression("^\\d\\.\\d{3}$"),
                                              QRegularExpression("^\\d{3}$")};
    for (int r = 0; r < 47; ++r) {
        const TULPrefOfficeInfo& office = GetPrefOffice(r);
        EXPECT_EQ(model->index(r, 0).data().toInt(), r + 1) << "row " << r;
        EXPECT_EQ(model->index(r, 2).data().toString(), office.PrefOfficeName) << "row " << r;
        EXPECT_NEAR(model->index(r, 3).data().toString().toDouble(), office.Latitude, 5e-6) << "row " << r;
        EXPECT_NEAR(model->index(r, 4).data().toString().toDouble(), office.Longitude, 5e-6) << "row " << r;
        EXPECT_NEAR(model->index(r, 5).data().toString().toDouble(), office.GAmplification, 5e-4) << "row " << r;
        EXPECT_EQ(model->index(r, 6).data().toString(), office.AreaCode) << "row " << r;
        for (int c = 0; c < 7; ++c) {
            const QModelIndex cell = model->index(r, c);
            EXPECT_TRUE(shapes[c].match(cell.data().toString()).hasMatch())
                << "row " << r << " column " << c << ": " << cell.data().toString().toStdString();
            EXPECT_EQ(cell.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        }
    }
}

TEST(SelectPrefOffice, HiddenPrefectureColumnTakesNoWidth)
{
    TSelectPrefOfficeFrm picker;
    QTableView* grid = picker.PrefectureSGrd();
    EXPECT_TRUE(grid->isColumnHidden(TPrefOfficeTableModel::pocPrefName));
    const int scrollBar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    EXPECT_EQ(grid->horizontalHeader()->length(), 400);
    EXPECT_EQ(grid->width(), 400 + scrollBar + 2 * grid->frameWidth());
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 24);
    EXPECT_FALSE(grid->showGrid());
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("県庁所在地の選択"));
    EXPECT_TRUE(picker.OkBtn()->isDefault());
}

// One location through a series of openings: each row says how the user
// answers, whether the picker reports a choice and which office the location
// holds afterwards. Every opening starts again on the first office.
TEST(SelectPrefOffice, LocationFollowsAcceptedPicksOnly)
{
    struct TStep
    {
        const char* Name;
        std::function<void(TSelectPrefOfficeFrm*)> Answer;
        bool Chosen;
        const char* OfficeAfter;
    };
    const int okinawa = RowOf(QStringLiteral("沖縄県庁"));
    const std::vector<TStep> steps = {
        {"double click on Tokyo",
         [](TSelectPrefOfficeFrm* p) { DoubleClickRow(p->PrefectureSGrd(), RowOf(QStringLiteral("東京都庁"))); }, true,
         "東京都庁"},
        {"select Okinawa, then Cancel",
         [okinawa](TSelectPrefOfficeFrm* p) {
             p->SetCurrentRow(okinawa);
             p->CancelBtn()->click();
         },
         false, "東京都庁"},
        {"select Okinawa, then Escape",
         [okinawa](TSelectPrefOfficeFrm* p) {
             p->SetCurrentRow(okinawa);
             SendKey(p, Qt::Key_Escape);
         },
         false, "東京都庁"},
        {"select Okinawa, then OK",
         [okinawa](TSelectPrefOfficeFrm* p) {
             p->SetCurrentRow(okinawa);
             p->OkBtn()->click();
         },
         true, "沖縄県庁"},
        // Opened on the office chosen so far: OK at once keeps it.
        {"Enter at once", [](TSelectPrefOfficeFrm* p) { SendKey(p, Qt::Key_Return); }, true, "沖縄県庁"},
    };

    TULPrefOfficeInfo location = GetDefaultPrefOffice();
    location.PrefOfficeName = QStringLiteral("before any pick");
    for (const TStep& step : steps) {
        int openedOnRow = -1;
        const int currentRow = std::max(0, RowOf(location.PrefOfficeName));
        bool stillOpen = false;
        auto answered = UlxTest::AnswerNextModal([&](QWidget* modal) {
            TSelectPrefOfficeFrm* picker = Picker(modal);
            if (!picker)
                return;
            openedOnRow = picker->CurrentRow();
            step.Answer(picker);
            // Every answer closes the picker at once; one that does not is a
            // failure, and the picker is shut so the test goes on.
            stillOpen = picker->isVisible();
            if (stillOpen)
                picker->done(QDialog::Rejected);
        });
        const bool chosen = TSelectPrefOfficeFrm::Execute(nullptr, location);
        ASSERT_TRUE(*answered) << step.Name << ": the picker never opened";
        EXPECT_FALSE(stillOpen) << step.Name << ": the answer did not close the picker";
        EXPECT_EQ(openedOnRow, currentRow) << step.Name;
        EXPECT_EQ(chosen, step.Chosen) << step.Name;
        EXPECT_EQ(location.PrefOfficeName, QString::fromUtf8(step.OfficeAfter)) << step.Name;
        const int r = RowOf(location.PrefOfficeName);
        ASSERT_GE(r, 0) << step.Name;
        const TULPrefOfficeInfo& row = GetPrefOffice(r);
        EXPECT_EQ(location.IndexNo, row.IndexNo) << step.Name;
        EXPECT_EQ(location.Latitude, row.Latitude) << step.Name;
        EXPECT_EQ(location.Longitude, row.Longitude) << step.Name;
        EXPECT_EQ(location.GAmplification, row.GAmplification) << step.Name;
        EXPECT_EQ(location.AreaCode, row.AreaCode) << step.Name;
    }
}
