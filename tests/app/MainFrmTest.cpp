// The main window and the tray icon offscreen, bound to a real settings model.

#include "app/win/MainFrm.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alertview/EqAlertFrm.h"
#include "app/win/HomeScreen.h"
#include "app/win/TrayIcon.h"
#include "auxiliary/SelectPrefOffice.h"
#include "config/VeskAppSettings.h"
#include "config/VeskProfileFile.h"

#include <gtest/gtest.h>

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace UlxTest;

namespace {

struct TMainFixture
{
    QTemporaryDir Dir;
    TVeskAppSettings Settings;
    TMainFrm Main;

    TMainFixture() : Settings(nullptr), Main(Settings, nullptr, QDateTime::currentDateTime(), QStringLiteral("1.2.3"))
    {
        qputenv("APPDATA", Dir.path().toUtf8());
        Settings.LoadParamsFromConfFile();
        Settings.SetParamsFromConfFile();
    }
};

} // namespace

TEST(MainFrm, OnlyTheActiveScreenIsEnabled)
{
    TMainFixture f;
    using TAction = void (TMainFrm::*)();
    const std::pair<TVeskScreen, TAction> actions[] = {
        {vscConfig, &TMainFrm::PutConfigScreen},   {vscNetConfig, &TMainFrm::PutNetConfigScreen},
        {vscHistory, &TMainFrm::PutHistoryScreen}, {vscTraining, &TMainFrm::PutTrainingScreen},
        {vscAbout, &TMainFrm::PutAboutScreen},     {vscHome, &TMainFrm::PutHomeSreen},
    };
    for (const auto& [screen, action] : actions) {
        (f.Main.*action)();
        EXPECT_EQ(f.Main.ActiveScreen(), screen);
        for (int i = 0; i < vscCount; ++i) {
            EXPECT_EQ(f.Main.ScreenPage(TVeskScreen(i))->isEnabled(), i == screen) << screen << " page " << i;
        }
    }
    f.Main.ShowScreen(vscAbout);
    EXPECT_TRUE(f.Main.isVisible());
    EXPECT_EQ(f.Main.ActiveScreen(), vscAbout);
    EXPECT_EQ(f.Main.LabelText("ProgramVersionLbl"), "1.2.3");
    EXPECT_EQ(f.Main.size(), QSize(594, 451));
}

// The window has a fixed size: a screen whose controls need more room than its
// page has is squeezed, and its controls overlap or lose their texts.
TEST(MainFrm, EveryScreenFitsItsPage)
{
    TMainFixture f;
    f.Main.PutCommStatusText(QStringLiteral("再接続待機中 - 一定時間後、再接続を行います。"));
    f.Main.PutSoundOutput(QStringLiteral("no audio output device"));
    f.Main.show();
    for (int i = 0; i < vscCount; ++i) {
        f.Main.ShowScreen(TVeskScreen(i));
        QWidget* page = f.Main.ScreenPage(TVeskScreen(i));
        const QSize need = page->minimumSizeHint();
        EXPECT_LE(need.height(), page->height()) << "screen " << i;
        EXPECT_LE(need.width(), page->width()) << "screen " << i;
    }
}

// The side menu's captions are white: the fill of the chosen screen's entry and
// of a hovered one must be dark enough to read them on.
TEST(MainFrm, MenuCaptionsStandOutFromTheirFill)
{
    TMainFixture f;
    f.Main.show();
    f.Main.ShowScreen(vscAbout);
    f.Main.SetMenuOpen(true);
    auto* chosen = f.Main.findChild<QToolButton*>(QStringLiteral("MenuBtn%1").arg(int(vscAbout)));
    ASSERT_NE(chosen, nullptr);
    ASSERT_TRUE(chosen->isChecked());
    const QImage image = chosen->grab().toImage();
    // Far right of the entry, clear of icon and caption: the fill itself.
    const QRgb fill = image.pixel(image.width() - 6, image.height() / 2);
    EXPECT_LT(qGray(fill), 140) << std::hex << fill;
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = image.width() / 3; x < image.width(); ++x) {
            white += qGray(image.pixel(x, y)) > 230 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 20) << "no caption to be seen";
}

TEST(MainFrm, HomeScreenShowsCountersStatusAndOperatingTime)
{
    TMainFixture f;
    f.Settings.SetNumOfTotalEqTelegrams(41);
    f.Settings.SetNumOfTotalAlerts(7);
    EXPECT_EQ(f.Main.LabelText("NumOfEqTelegramLbl"), "41");
    EXPECT_EQ(f.Main.LabelText("NumOfAlertLbl"), "7");
    f.Main.PutCommStatusText(QStringLiteral("接続中 - 緊急地震速報の受信待機中です。"));
    EXPECT_EQ(f.Main.LabelText("CommStatusLbl"), "接続中 - 緊急地震速報の受信待機中です。");
    f.Main.PutSoundOutput(QString());
    EXPECT_EQ(f.Main.LabelText("SoundOutputLbl"), "あり");
    f.Main.PutSoundOutput(QStringLiteral("no audio output device"));
    EXPECT_EQ(f.Main.LabelText("SoundOutputLbl"), "なし（アラーム音は鳴りません）");
    EXPECT_EQ(THomeScreen::OperatingTimeText(90061), "1日間 1時間 1分 1秒");
    EXPECT_EQ(THomeScreen::OperatingTimeText(59), "0日間 0時間 0分 59秒");
    const QDateTime t(QDate(2016, 4, 14), QTime(21, 26, 34));
    EXPECT_TRUE(THomeScreen::ClockText(t).startsWith("2016/04/14("));
    EXPECT_TRUE(THomeScreen::ClockText(t).endsWith(") - 21:26:34"));
}

TEST(MainFrm, MagnitudeSliderWritesItsValue)
{
    TMainFixture f;
    auto* slider = f.Main.Control<QSlider>("MomentMgTrk");
    const struct
    {
        int Position;
        const char* Shown;
    } cases[] = {{19, "9.5"}, {0, "0.0"}, {13, "6.5"}};
    for (const auto& c : cases) {
        slider->setValue(c.Position);
        EXPECT_EQ(f.Main.LabelText("MomentMgPnl"), c.Shown);
        EXPECT_EQ(f.Settings.GetMomentMgPosition(), c.Position);
    }
}

// A changed control is the live setting: the next decision reads it, the exit saves it.
TEST(MainFrm, SettingsChangesTakeEffectAtOnceAndAreSavedAtExit)
{
    TMainFixture f;
    f.Main.Control<QComboBox>("SeismicIntensityCmb")->setCurrentIndex(6);
    f.Main.Control<QCheckBox>("UseMgChk")->setChecked(true);
    f.Main.Control<QCheckBox>("AlwaysAlertSoundOnChk")->setChecked(false);
    f.Main.Control<QCheckBox>("DesktopNotificationChk")->setChecked(false);
    f.Main.Control<QCheckBox>("AutoZoomMapChk")->setChecked(false);
    f.Main.Control<QCheckBox>("UseFeedChk")->setChecked(true);
    EXPECT_FALSE(f.Settings.GetDesktopNotification());
    EXPECT_FALSE(f.Settings.GetAutoZoomMap());
    EXPECT_TRUE(f.Settings.GetUseFeed());
    const TAlertConditions c = f.Settings.GetAlertConditions();
    EXPECT_EQ(c.SIScaleThreshold, 55);
    EXPECT_TRUE(c.UseMg);
    EXPECT_FALSE(f.Settings.GetAlwaysAlertSoundOn());
    ASSERT_TRUE(f.Settings.SaveParamsToConfFile());
    TVeskProfileFile file(QDir(TVeskAppSettings::GetAppConfPath()).filePath("UlmaroX.cnf"));
    EXPECT_EQ(file.ReadString("Config_Sheet", "SIScale", ""), "6");
    EXPECT_EQ(file.ReadString("Config_Sheet", "UseMg", ""), "1");
    // And the other way: a value set elsewhere shows in its control.
    f.Settings.SetUseOrCondition(true);
    EXPECT_TRUE(f.Main.Control<QCheckBox>("UseOrConditionChk")->isChecked());
}

// Every check box shows its own setting, from the file and after a change made
// elsewhere; those the user may change write only their own setting.
TEST(MainFrm, EachCheckBoxIsBoundToItsOwnSetting)
{
    TMainFixture f;
    TVeskAppSettings& s = f.Settings;
    const struct
    {
        const char* Box;
        std::function<bool()> Get;
        std::function<void(bool)> Set;
        bool UserSets;
    } boxes[] = {
        {"UseSIScaleChk", [&] { return s.GetUseSIScale(); }, [&](bool On) { s.SetUseSIScale(On); }, true},
        {"UseMgChk", [&] { return s.GetUseMg(); }, [&](bool On) { s.SetUseMg(On); }, true},
        {"UseOrConditionChk", [&] { return s.GetUseOrCondition(); }, [&](bool On) { s.SetUseOrCondition(On); }, true},
        {"UseFeedChk", [&] { return s.GetUseFeed(); }, [&](bool On) { s.SetUseFeed(On); }, true},
        {"EnableAutoIconicChk", [&] { return s.GetEnableAutoIconic(); }, [&](bool On) { s.SetEnableAutoIconic(On); },
         true},
        {"AlwaysAlertSoundOnChk", [&] { return s.GetAlwaysAlertSoundOn(); },
         [&](bool On) { s.SetAlwaysAlertSoundOn(On); }, true},
        {"DesktopNotificationChk", [&] { return s.GetDesktopNotification(); },
         [&](bool On) { s.SetDesktopNotification(On); }, true},
        {"AutoZoomMapChk", [&] { return s.GetAutoZoomMap(); }, [&](bool On) { s.SetAutoZoomMap(On); }, true},
    };
    auto values = [&] {
        QList<bool> v;
        for (const auto& b : boxes) {
            v << b.Get();
        }
        return v;
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.Box);
        auto* box = f.Main.Control<QCheckBox>(QString::fromLatin1(b.Box));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isChecked(), b.Get()) << "shown at start";
        b.Set(!b.Get());
        EXPECT_EQ(box->isChecked(), b.Get()) << "shown after a change elsewhere";
        QList<bool> before = values();
        box->click();
        QList<bool> after = values();
        const int self = int(&b - boxes);
        EXPECT_EQ(after[self], box->isChecked()) << "the user's change is written";
        before.removeAt(self);
        after.removeAt(self);
        EXPECT_EQ(before, after) << "no other setting changed";
    }
}

TEST(MainFrm, CancellingASecondOfficePickKeepsTheFirst)
{
    TMainFixture f;
    f.Main.PutConfigScreen();
    auto* pick = f.Main.Control<QPushButton>("PrefOfficeListBtn");
    auto first = AnswerNextModal([](QWidget* Modal) {
        auto* dialog = qobject_cast<TSelectPrefOfficeFrm*>(Modal);
        dialog->SetCurrentRow(26); // 大阪府庁
        dialog->accept();
    });
    pick->click();
    ASSERT_TRUE(*first);
    EXPECT_EQ(f.Main.Control<QLineEdit>("LocNameEdt")->text(), "大阪府庁");
    const QString lat = f.Main.Control<QLineEdit>("LocLatNEdt")->text();
    auto second = AnswerNextModal([](QWidget* Modal) {
        auto* dialog = qobject_cast<TSelectPrefOfficeFrm*>(Modal);
        dialog->SetCurrentRow(0);
        dialog->reject();
    });
    pick->click();
    ASSERT_TRUE(*second);
    EXPECT_EQ(f.Main.Control<QLineEdit>("LocNameEdt")->text(), "大阪府庁");
    EXPECT_EQ(f.Main.Control<QLineEdit>("LocLatNEdt")->text(), lat);
    EXPECT_EQ(f.Settings.GetLocationName(), "大阪府庁");
    EXPECT_EQ(lat.section('.', 1).size(), 5) << "five decimals";
}

// An alert while the office picker is open: the alert window takes the user's
// input through the window system (its sound switch, Escape as its close box),
// closing it writes the history row, and the picker still works afterwards.
TEST(MainFrm, TheOfficePickerNeverBlocksTheAlertWindow)
{
    TMainFixture f;
    f.Main.show();
    f.Main.PutConfigScreen();
    TFakeClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 2000;
    TFakeHistoryStore store;
    TFakeSoundChannel sound;
    TEqAlertController controller(nullptr, &store, &clock);
    controller.SetSoundChannel(&sound);
    TEqAlertFrm alert(controller, nullptr);

    bool sawPicker = false;
    bool soundSwitched = false;
    auto answered = AnswerNextModal([&](QWidget* Modal) {
        auto* picker = qobject_cast<TSelectPrefOfficeFrm*>(Modal);
        ASSERT_NE(picker, nullptr);
        sawPicker = true;
        controller.SetIsAlerting(true);
        controller.SetIsAlertingWarning(true);
        ASSERT_TRUE(controller.StartAlerting(TLocationInfo{35.68944, 139.69167, 1.35, QStringLiteral("350")},
                                             Eq01(TEq01Fields{}), 5.2, 12.5, false));
        controller.Show();
        ASSERT_TRUE(WaitUntil([&] { return alert.isVisible() && alert.windowHandle(); }, 2000));
        auto* soundSwitch = alert.findChild<QPushButton*>(QStringLiteral("SoundSwitchBtn"));
        ASSERT_NE(soundSwitch, nullptr);
        const bool before = controller.IsPlayingSound();
        QTest::mouseClick(alert.windowHandle(), Qt::LeftButton, {},
                          soundSwitch->mapTo(&alert, soundSwitch->rect().center()));
        soundSwitched = controller.IsPlayingSound() != before;
        QTest::keyClick(alert.windowHandle(), Qt::Key_Escape);
        WaitUntil([&] { return !alert.isVisible(); }, 2000);
        // The picker is still there and still answers.
        EXPECT_TRUE(picker->isVisible());
        picker->SetCurrentRow(26); // 大阪府庁
        picker->accept();
    });
    f.Main.Control<QPushButton>("PrefOfficeListBtn")->click();
    ASSERT_TRUE(*answered);
    EXPECT_TRUE(sawPicker);
    EXPECT_TRUE(soundSwitched) << "the alert's sound switch did not take the click";
    EXPECT_FALSE(alert.isVisible()) << "Escape did not close the alert window";
    EXPECT_EQ(store.Records.size(), 1) << "closing the alert window writes its row";
    EXPECT_EQ(f.Settings.GetLocationName(), "大阪府庁");
}

TEST(MainFrm, WithoutANotificationAreaClosingMinimisesInsteadOfHiding)
{
    TMainFixture f;
    f.Main.show();
    f.Main.SetTrayAvailable(false);
    EXPECT_FALSE(f.Main.close());
    EXPECT_TRUE(f.Main.isVisible()) << "no notification area: the window must stay reachable";
    EXPECT_TRUE(f.Main.isMinimized());
    // The exit stays reachable: a button of its own, gone again once there is a tray.
    QPushButton* exitButton = f.Main.Control<QPushButton>("ExitBtn");
    EXPECT_FALSE(exitButton->isHidden());
    bool exitAsked = false;
    QObject::connect(&f.Main, &TMainFrm::exitRequested, [&exitAsked] { exitAsked = true; });
    exitButton->click();
    EXPECT_TRUE(exitAsked);
    f.Main.RestoreFromTray();
    f.Main.SetTrayAvailable(true);
    EXPECT_TRUE(exitButton->isHidden());
    EXPECT_FALSE(f.Main.close());
    EXPECT_FALSE(f.Main.isVisible()) << "with a notification area closing hides";
    bool exited = false;
    QObject::connect(&f.Main, &TMainFrm::exitAccepted, [&exited] { exited = true; });
    f.Main.SetAppExit(true);
    EXPECT_TRUE(f.Main.close());
    EXPECT_TRUE(exited);
}

TEST(TrayIcon, HintAndIconsFollowTheLinkStatus)
{
    TVeskTrayIcon tray(nullptr);
    const struct
    {
        TServerCommStatus Status;
        const char* Hint;
    } cases[] = {
        {scsConnected, "接続中 - 緊急地震速報の受信待機中です。"},
        {scsWaiting, "再接続待機中 - 一定時間後、再接続を行います。"},
        {scsDisconnected, "未接続 - サーバーと接続されていません。"},
    };
    for (const auto& c : cases) {
        tray.SetServerCommStatus(c.Status, QString::fromUtf8(c.Hint));
        EXPECT_EQ(tray.Hint(), QString::fromUtf8(c.Hint));
        EXPECT_EQ(tray.Status(), c.Status);
    }
    tray.SetServerCommStatus(TServerCommStatus(7), QStringLiteral("未接続 - サーバーと接続されていません。"));
    EXPECT_EQ(tray.Status(), scsDisconnected) << "an unknown status keeps the icons";
    QStringList captions;
    for (QAction* a : tray.MenuActions()) {
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(captions, QStringList({"ホーム(&H)", "設定(&C)", "ネットワーク設定(&N)", "履歴(&H)", "訓練(&T)",
                                     "バージョン情報(&A)", "-", "終了(&X)"}));
    TVeskScreen asked = vscHome;
    QObject::connect(&tray, &TVeskTrayIcon::screenRequested, [&asked](TVeskScreen S) { asked = S; });
    tray.MenuActions()[4]->trigger();
    EXPECT_EQ(asked, vscTraining);
}

// Set ULX_SCREENSHOT_DIR to keep pictures of the screens for a look by eye.
TEST(MainFrm, ScreenPicturesForALookByEye)
{
    const QString dir = qEnvironmentVariable("ULX_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "ULX_SCREENSHOT_DIR not set";
    }
    TMainFixture f;
    f.Main.PutCommStatusText(QStringLiteral("接続中 - 緊急地震速報の受信待機中です。"));
    f.Main.PutSoundOutput(QStringLiteral("no audio output device"));
    const char* names[] = {"home", "config", "netconfig", "history", "training", "about"};
    for (int i = 0; i < vscCount; ++i) {
        f.Main.ShowScreen(TVeskScreen(i));
        RunFor(50);
        EXPECT_TRUE(f.Main.grab().save(dir + "/main-" + names[i] + ".png"));
    }
    f.Main.SetMenuOpen(true);
    EXPECT_TRUE(f.Main.grab().save(dir + "/main-menu-open.png"));
}
