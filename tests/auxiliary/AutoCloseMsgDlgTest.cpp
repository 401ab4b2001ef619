// The self-closing notice, driven tick by tick through its timer handler.

#include "auxiliary/AutoCloseMsgDlg.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace UlxTest;

namespace {

// Lets the deferred delete of a closed dialog run.
void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(AutoCloseMsgDlgTest, CountsDownFromTheFirstTickAndClosesItselfAfterTheLastSecond)
{
    struct Case
    {
        int Seconds;
        QStringList Footers; // after each tick while the notice is open
    };
    const QStringList twenty = [] {
        QStringList l;
        for (int s = 20; s >= 1; --s) {
            l << QStringLiteral("Close automatically in %1 sec...").arg(s);
        }
        return l;
    }();
    const Case cases[] = {{20, twenty}, {1, {"Close automatically in 1 sec..."}}, {0, {}}, {-1, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Seconds);
        QPointer<TAutoCloseMsgDlg> dlg = new TAutoCloseMsgDlg;
        dlg->SetComment1(QStringLiteral("最新バージョン(1.2.3.4)が公開されています。"));
        dlg->StartDisplaying(c.Seconds);

        // Shown at once, without blocking and without taking the input away from other windows.
        ASSERT_TRUE(dlg->isVisible());
        EXPECT_FALSE(dlg->isModal());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(dlg->CountupTimer()->isActive());
        EXPECT_EQ(dlg->CountupTimer()->interval(), 1000);
        EXPECT_EQ(dlg->FooterText(), "") << "nothing is announced before the first tick";

        for (const QString& footer : c.Footers) {
            dlg->CountupTmrTimer();
            ASSERT_TRUE(dlg) << "closed too early";
            EXPECT_TRUE(dlg->isVisible());
            EXPECT_EQ(dlg->FooterText(), footer);
        }
        dlg->CountupTmrTimer();
        FlushDeletes();
        EXPECT_TRUE(dlg.isNull()) << "the tick after the last second closes and frees the notice";
    }
}

TEST(AutoCloseMsgDlgTest, RealTimerClosesAZeroSecondNotice)
{
    QPointer<TAutoCloseMsgDlg> dlg = new TAutoCloseMsgDlg;
    dlg->StartDisplaying(0);
    // The timer's own first event, one interval after the start.
    EXPECT_TRUE(WaitUntil([&] { return dlg.isNull(); }, 5000));
}

TEST(AutoCloseMsgDlgTest, ClosingByTheButtonStopsTheCountAndFreesTheNotice)
{
    QPointer<TAutoCloseMsgDlg> dlg = new TAutoCloseMsgDlg;
    dlg->SetComment2(QStringLiteral("abc\ndef"));
    EXPECT_EQ(dlg->Comment2(), "abc\ndef");
    dlg->StartDisplaying(20);
    dlg->CountupTmrTimer();
    auto* button = dlg->findChild<QPushButton*>(QStringLiteral("CloseDlgBtn"));
    ASSERT_NE(button, nullptr);
    button->click();
    FlushDeletes();
    EXPECT_TRUE(dlg.isNull());
}

TEST(AutoCloseMsgDlgTest, EscapeFreesTheNoticeToo)
{
    QPointer<TAutoCloseMsgDlg> dlg = new TAutoCloseMsgDlg;
    dlg->StartDisplaying(20);
    dlg->reject();
    FlushDeletes();
    EXPECT_TRUE(dlg.isNull());
}

} // namespace
