#include "AlertTestSupport.h"
#include "alert/EqAlertController.h"
#include "alert/VeskDataMdlHistoryStore.h"
#include "history/VeskData.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace AlertTest;

// The arrival writes the alert into a real history file.
TEST(AlertHistoryIntegration, ArrivalWritesOneRowToTheHistoryModule)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TVeskDataMdl dataMdl(nullptr);
    ASSERT_TRUE(dataMdl.CreateEqHistoryDB(dir.filePath("EqHistDB.cds")));
    TVeskDataMdlHistoryStore store(&dataMdl);
    TFakeClock clock;
    TEqAlertController view(nullptr, &store, &clock);
    ASSERT_TRUE(view.StartAlerting(TLocationInfo{35.689, 139.692, 1.2, "350"}, Eq01(), 5.2, 12.4, false));
    view.SetAlertEq10Telegram(Eq10("ND20160414212634", QStringLiteral("熊本県熊本地方")));
    clock.Now = DefaultOccurrence() + 12000;
    view.DoAlert();
    int written = 0;
    QObject::connect(&view, &TEqAlertController::historyWritten, [&written](const TEqHistory&, bool Inserted) {
        EXPECT_TRUE(Inserted);
        ++written;
    });
    view.StopAlerting();
    // The row went to the history's writer thread; it reaches the read model, and is
    // reported as written, on this thread once the writer is done with it.
    EXPECT_EQ(dataMdl.RowCount(), 0);
    EXPECT_EQ(written, 0);
    dataMdl.FlushEqHistoryRecords();
    EXPECT_EQ(written, 1);
    ASSERT_EQ(dataMdl.RowCount(), 1);
    EXPECT_EQ(dataMdl.GetRow(0),
              QStringList({"ND20160414212634", "2016/04/14 21:26:40", "2016/04/14 21:26:34", "32.70", "130.80", "10",
                           "6.5", QStringLiteral("熊本県熊本地方"), QStringLiteral("５強"), "12", ""}));
}

TEST(AlertHistoryIntegration, WithoutAModuleTheInsertAnswersFalse)
{
    SetVeskDataMdl(nullptr);
    TVeskDataMdlHistoryStore store;
    TEqHistory h;
    h.CopyFromEq01Telegram(Eq01(), 5.0, 10.0);
    EXPECT_FALSE(store.InsertEqHistoryRecord(h));
}
