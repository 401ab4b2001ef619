// The history screen over a real history file in a temporary folder.

#include "app/screens/HistoryScreen.h"
#include "TestSupport.h"
#include "app/screens/HistoryListModel.h"
#include "history/VeskData.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>

using namespace UlxTest;

namespace {

// A record of an earthquake that occurred on day ADay of April 2016 at hh:mm.
TEqHistory Record(int ADay, const QString& AName, const QString& ASIScale = QStringLiteral("５弱"))
{
    TEqHistory h;
    const QString day = QStringLiteral("%1").arg(ADay, 2, 10, QLatin1Char('0'));
    h.EqID = QStringLiteral("ND201604") + day + QStringLiteral("212634");
    h.TelegNo = 5;
    h.OutgoingTime = QStringLiteral("2016/04/%1 21:26:40").arg(ADay, 2, 10, QLatin1Char('0'));
    h.OccurrenceTime = QStringLiteral("2016/04/%1 21:26:34").arg(ADay, 2, 10, QLatin1Char('0'));
    h.EpicLat = QStringLiteral("32.70");
    h.EpicLong = QStringLiteral("130.80");
    h.EpicDepth = QStringLiteral("10");
    h.EqMagnitude = QStringLiteral("6.5");
    h.EpicName = AName;
    h.EstSIS = ASIScale;
    h.EstSec = QStringLiteral("23");
    return h;
}

struct THistoryFixture
{
    QTemporaryDir Dir;
    TCapturedLog Log;
    std::unique_ptr<TVeskDataMdl> Data = std::make_unique<TVeskDataMdl>(Log.Logger());
    THistoryScreen Screen;

    THistoryFixture()
    {
        EXPECT_TRUE(Data->CreateEqHistoryDB(FileName()));
        EXPECT_TRUE(Screen.BindHistoryGrid(Data.get()));
        Screen.resize(522, 403);
        Screen.show();
    }
    QString FileName() const { return Dir.filePath(QStringLiteral("EqHistDB.cds")); }
    QStringList ShownIds() const
    {
        QStringList ids;
        for (int row = 0; row < Screen.Model()->rowCount(); ++row) {
            ids << Screen.Model()->Value(row, QStringLiteral("EQ_ID"));
        }
        return ids;
    }
    int CurrentRow() const { return Screen.View()->currentIndex().row(); }
};

TEST(HistoryScreenTest, EmptyHistoryShowsNoPanels)
{
    THistoryFixture f;
    EXPECT_EQ(f.Screen.Model()->rowCount(), 0);
    EXPECT_TRUE(f.Screen.VisibleRows().isEmpty());
    EXPECT_FALSE(f.Screen.View()->currentIndex().isValid());
    EXPECT_FALSE(f.Screen.grab().isNull());

    // Not bound at all (the store could not be opened): the same, no error.
    THistoryScreen unbound;
    EXPECT_FALSE(unbound.BindHistoryGrid(nullptr));
    EXPECT_EQ(unbound.Model()->rowCount(), 0);
    EXPECT_FALSE(unbound.grab().isNull());
}

TEST(HistoryScreenTest, ARecordWrittenDuringTheRunAppearsAtOnceInItsSortedPlace)
{
    THistoryFixture f;
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(14, "熊本県熊本地方")));
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(16, "熊本県熊本地方")));
    EXPECT_EQ(f.ShownIds(), QStringList({"ND20160416212634", "ND20160414212634"}));

    // An earthquake between the two (a late registration) goes between them, and becomes the current panel.
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(15, "阿蘇地方")));
    EXPECT_EQ(f.ShownIds(), QStringList({"ND20160416212634", "ND20160415212634", "ND20160414212634"}));
    EXPECT_EQ(f.CurrentRow(), 1);
    EXPECT_EQ(f.Screen.Model()->Value(1, "EPIC_NAME"), "阿蘇地方");
    EXPECT_EQ(f.Screen.View()->selectionModel()->selectedIndexes().value(0).row(), 1);
}

TEST(HistoryScreenTest, SevenRecordsShowFiveAndScrollToTwoAndFiveRemainAfterARestart)
{
    THistoryFixture f;
    for (int day = 1; day <= 7; ++day) {
        ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(day, QStringLiteral("地点%1").arg(day))));
    }
    ASSERT_EQ(f.Screen.Model()->rowCount(), 7);
    EXPECT_EQ(f.Screen.Model()->Value(0, "EQ_ID"), "ND20160407212634") << "newest first";
    EXPECT_EQ(f.Screen.View()->viewport()->height(),
              THistoryScreen::VisiblePanels * THistoryPanelDelegate::PanelHeight);
    EXPECT_EQ(f.Screen.VisibleRows(), QList<int>({0, 1, 2, 3, 4}));
    QScrollBar* bar = f.Screen.View()->verticalScrollBar();
    bar->setValue(bar->maximum());
    EXPECT_EQ(f.Screen.VisibleRows(), QList<int>({2, 3, 4, 5, 6}));

    // Shutdown trims to the five newest and saves; the screen follows the trim as it happens.
    ASSERT_TRUE(f.Data->DeleteAllEqHistoryRecord(5));
    EXPECT_EQ(f.Screen.Model()->rowCount(), 5);
    ASSERT_TRUE(f.Data->SaveEqHistoryDB(f.FileName()));
    f.Data.reset();
    EXPECT_EQ(f.Screen.Model()->rowCount(), 0) << "a freed store leaves an empty list, not a dangling one";

    TVeskDataMdl restarted(f.Log.Logger());
    ASSERT_TRUE(restarted.CreateEqHistoryDB(f.FileName()));
    THistoryScreen screen;
    screen.BindHistoryGrid(&restarted);
    screen.show();
    ASSERT_EQ(screen.Model()->rowCount(), 5);
    EXPECT_EQ(screen.Model()->Value(0, "EQ_ID"), "ND20160407212634");
    EXPECT_EQ(screen.Model()->Value(4, "EQ_ID"), "ND20160403212634");
    EXPECT_EQ(screen.VisibleRows(), QList<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(screen.View()->currentIndex().row(), 0) << "the newest panel is current after a start";
}

TEST(HistoryScreenTest, PanelShowsTheStoredValuesAndHighlightsTheCurrentRecord)
{
    const QStringList values = {"ND20160416012505",
                                "2016/04/16 01:25:15",
                                "2016/04/16 01:25:05",
                                "32.80",
                                "130.80",
                                "12",
                                "7.3",
                                "熊本県熊本地方",
                                "６強",
                                "8",
                                ""};
    ASSERT_EQ(TVeskDataMdl::GetFieldNames().size(), values.size());
    EXPECT_EQ(THistoryPanelDelegate::CellTexts(values),
              QStringList({"2016/04/16 01:25:15", "熊本県熊本地方", "ND20160416012505", "６強", "2016/04/16 01:25:05",
                           "32.80 / 130.80", "12 Km", "Mg 7.3", "8"}));
    // A withdrawn warning says so where the name is read first.
    QStringList cancelled = values;
    cancelled.last() = QStringLiteral("1");
    EXPECT_EQ(THistoryPanelDelegate::CellTexts(cancelled).at(1), QStringLiteral("［取消］熊本県熊本地方"));

    THistoryFixture f;
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(14, "熊本県熊本地方")));
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(16, "熊本県熊本地方")));
    f.Screen.View()->setCurrentIndex(f.Screen.Model()->index(1));
    const QImage image = f.Screen.View()->viewport()->grab().toImage();
    const QColor highlight = f.Screen.View()->palette().color(QPalette::Highlight);
    // Corners of the panels, where no text is drawn.
    EXPECT_EQ(image.pixelColor(1, THistoryPanelDelegate::PanelHeight + 1), highlight);
    EXPECT_NE(image.pixelColor(1, 1), highlight);
    EXPECT_EQ(f.Screen.Model()->flags(f.Screen.Model()->index(0)) & Qt::ItemIsEditable, 0);
}

TEST(HistoryScreenTest, PictureWithACancelledRowForALookByEye)
{
    const QString dir = qEnvironmentVariable("ULX_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "ULX_SCREENSHOT_DIR not set";
    }
    THistoryFixture f;
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(Record(14, QStringLiteral("熊本県熊本地方"))));
    TEqHistory cancelled = Record(16, QStringLiteral("東京湾"), QStringLiteral("７"));
    cancelled.Cancelled = true;
    ASSERT_TRUE(f.Data->InsertEqHistoryRecord(cancelled));
    RunFor(100);
    EXPECT_TRUE(f.Screen.grab().save(dir + QStringLiteral("/history-cancelled.png")));
}

} // namespace
