#include "auxiliary/VeskAuxResources.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

// Every picture the main window takes is compiled in, at the size its place needs.
TEST(AppArt, EveryPictureLoadsAtItsSize)
{
    struct TCase
    {
        QString Path;
        QSize Size;
    };
    std::vector<TCase> cases;
    for (int s = 0; s < vscCount; ++s)
        cases.push_back({VeskAppArt::MenuIconPath(TVeskScreen(s)), QSize(48, 48)});
    for (TServerCommStatus status : {scsDisconnected, scsConnected, scsWaiting})
        for (int frame = 0; frame < VeskAppArt::TrayFrameCount; ++frame)
            cases.push_back({VeskAppArt::TrayIconPath(status, frame), QSize(32, 32)});
    for (int size : VeskAppArt::AppIconSizes())
        cases.push_back({VeskAppArt::AppIconPngPath(size), QSize(size, size)});
    const QImage logo(VeskAppArt::HeaderLogoPath());
    const QImage band(VeskAppArt::HeaderBandPath());
    cases.push_back({VeskAppArt::HeaderLogoPath(), QSize(logo.width(), 48)});
    cases.push_back({VeskAppArt::MascotPath(), QSize(128, 128)});

    QStringList seen;
    for (const TCase& c : cases) {
        const QImage image(c.Path);
        EXPECT_FALSE(image.isNull()) << c.Path.toStdString();
        EXPECT_EQ(image.size(), c.Size) << c.Path.toStdString();
        EXPECT_FALSE(seen.contains(c.Path)) << c.Path.toStdString() << " named twice";
        seen << c.Path;
    }
    // The two header pictures fill the 594-pixel band together.
    EXPECT_EQ(band.height(), 48);
    EXPECT_EQ(logo.width() + band.width(), 594);

    QFile svg(VeskAppArt::AppIconSvgPath());
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().startsWith("<svg"));
    EXPECT_EQ(VeskAppArt::AppIcon().availableSizes().size(), VeskAppArt::AppIconSizes().size());
}

// The tray animates: the two frames of each link status differ, and the
// three statuses look different from each other.
TEST(AppArt, TrayFramesDifferWithinAndAcrossStates)
{
    std::vector<QImage> firstFrames;
    for (TServerCommStatus status : {scsDisconnected, scsConnected, scsWaiting}) {
        const QImage a(VeskAppArt::TrayIconPath(status, 0));
        const QImage b(VeskAppArt::TrayIconPath(status, 1));
        EXPECT_NE(a, b) << "status " << int(status);
        for (const QImage& other : firstFrames)
            EXPECT_NE(a, other) << "status " << int(status);
        firstFrames.push_back(a);
    }
}
