// The compiled-in artwork and sounds: the map's projection, image sizes and
// colours, the alarms' format and loop points, and the faces' Japanese glyphs.
#include "AlertViewTestSupport.h"

#include "alert/AlertMapGeometry.h"
#include "alertview/AlertFonts.h"
#include "alertview/AlertResources.h"
#include "alertview/AlertSoundPlayer.h"

#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

using namespace AlertViewTest;

namespace {

class AlertArtworkTest : public ::testing::Test
{
protected:
};

// The map of one scale, read pixel by pixel across its 500 x 500 tiles; scale 1
// is the whole-Japan map.
class TScaledBase
{
public:
    explicit TScaledBase(int AScale) : FScale(AScale), FWhole(500 * AScale, 500 * AScale, QImage::Format_RGB32)
    {
        FWhole.fill(qRgb(255, 0, 255));
        QPainter painter(&FWhole);
        for (int row = 0; row < AScale; ++row) {
            for (int col = 0; col < AScale; ++col) {
                const QString name = AScale == 1 ? QStringLiteral("BMP_MAP_SMALL")
                                                 : QStringLiteral("MAP_Z%1_%2_%3").arg(AScale).arg(col).arg(row);
                painter.drawImage(500 * col, 500 * row, AlertResources::LoadImage(name));
            }
        }
    }

    // Pixel of a point as the map places it: pixel (x, y) of the whole map is the
    // square from x to x + 1 on every scale.
    QRgb At(float Lat, float Lng) const
    {
        double x = 0.0;
        double y = 0.0;
        AlertMapGeometry::LatLngToPlane(Lat, Lng, x, y);
        return Pixel(int(std::lround(FScale * (x + 0.5) - 0.5)), int(std::lround(FScale * (y + 0.5) - 0.5)));
    }
    QRgb Pixel(int X, int Y) const { return reinterpret_cast<const QRgb*>(FWhole.constScanLine(Y))[X] & 0xffffff; }
    QRgb Sea() const { return Pixel(FWhole.width() - 5, FWhole.height() - 5); }
    int Side() const { return FWhole.width(); }

private:
    int FScale;
    QImage FWhole;
};

// Every office on land and the open sea on sea, on the whole map and on every
// zoomed base; the sea is one flat colour, sampled far out in the Pacific.
TEST_F(AlertArtworkTest, EveryOfficeLiesOnLandAndOpenSeaOnSea)
{
    const QImage map = AlertResources::LoadImage(QStringLiteral("BMP_MAP_SMALL"));
    ASSERT_EQ(map.size(), QSize(500, 500));
    ASSERT_FALSE(map.hasAlphaChannel());
    struct TSea
    {
        float Lat, Lng;
        const char* Where;
    };
    const TSea seas[] = {{30.0f, 145.0f, "Pacific, 30 N 145 E"},    {40.0f, 135.0f, "Sea of Japan"},
                         {25.0f, 135.0f, "Philippine Sea"},         {33.0f, 125.5f, "East China Sea"},
                         {34.6f, 139.9f, "off the Boso peninsula"}, {38.3f, 142.9f, "off Miyagi"}};
    for (int scale : {1, 2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        const TScaledBase base(scale);
        const QRgb sea = base.Sea();
        for (int i = 0; i < GetPrefOfficeCount(); ++i) {
            const TULPrefOfficeInfo& office = GetPrefOffice(i);
            const QRgb at = base.At(office.Latitude, office.Longitude);
            EXPECT_FALSE(Near(at, sea, 12)) << office.PrefOfficeName.toStdString() << " is " << Hex(at).toStdString();
        }
        for (const TSea& s : seas) {
            EXPECT_TRUE(Near(base.At(s.Lat, s.Lng), sea, 12)) << s.Where;
        }
        // Land and sea must be told apart at a glance, not by a shade.
        const QRgb land = base.At(36.2f, 138.0f); // inland Honshu, Nagano
        EXPECT_GT(std::abs(qGray(land) - qGray(sea)), 50)
            << Hex(land).toStdString() << " vs " << Hex(sea).toStdString();
    }
}

// The fills of neighbouring shoreline bins meet without a line between them: no
// row or column of a base is a faint stroke across open land.
TEST_F(AlertArtworkTest, BasesHaveNoSeamsAcrossTheLand)
{
    for (int scale : {1, 2, 4, 8}) {
        const TScaledBase base(scale);
        const QRgb land = base.At(36.2f, 138.0f);
        const int side = base.Side();
        // A seam is a stroke of 40 pixels or more between land on both sides.
        auto strokes = [&](bool Columns) {
            int found = 0;
            for (int a = 1; a + 1 < side; ++a) {
                int run = 0;
                for (int b = 0; b < side && run < 40; ++b) {
                    const int x = Columns ? a : b;
                    const int y = Columns ? b : a;
                    const bool seam = base.Pixel(x, y) != land &&
                                      base.Pixel(Columns ? x - 1 : x, Columns ? y : y - 1) == land &&
                                      base.Pixel(Columns ? x + 1 : x, Columns ? y : y + 1) == land;
                    run = seam ? run + 1 : 0;
                }
                found += run >= 40 ? 1 : 0;
            }
            return found;
        };
        EXPECT_EQ(strokes(true), 0) << "columns at scale " << scale;
        EXPECT_EQ(strokes(false), 0) << "rows at scale " << scale;
    }
}

TEST_F(AlertArtworkTest, ImagesHaveTheirSizesAndRoles)
{
    struct TImage
    {
        QString Name;
        QSize Size;
        bool Alpha;
    };
    std::vector<TImage> images = {{QStringLiteral("BMP_MAP_SMALL"), {500, 500}, false},
                                  {QStringLiteral("BMP_HOMEMARK"), {24, 48}, false},
                                  {QStringLiteral("BMP_EPICENTERMARK"), {24, 24}, false},
                                  {QStringLiteral("PNG_EQSIGN_1"), {128, 64}, true},
                                  {QStringLiteral("PNG_EQSIGN_2"), {128, 64}, true}};
    for (int i = 0; i <= 12; ++i) {
        images.push_back({QStringLiteral("PNG_SIS_%1").arg(i), {64, 64}, true});
    }
    for (int i = 0; i <= 9; ++i) {
        images.push_back({QStringLiteral("PNG_NUM_%1W").arg(i), {64, 64}, true});
        images.push_back({QStringLiteral("PNG_NUM_%1R").arg(i), {64, 64}, true});
    }
    for (const TImage& image : images) {
        const QImage loaded = AlertResources::LoadImage(image.Name);
        EXPECT_EQ(loaded.size(), image.Size) << image.Name.toStdString();
        EXPECT_EQ(loaded.hasAlphaChannel(), image.Alpha) << image.Name.toStdString();
    }

    // The marks are keyed on pure white: the home pin fills only the upper half, so that
    // its tip is the image centre.
    const QImage home = AlertResources::LoadImage(QStringLiteral("BMP_HOMEMARK"));
    EXPECT_EQ(CountPixels(home, QRect(0, 24, 24, 24), [](QRgb c) { return c != 0xFFFFFFFF; }), 0);
    EXPECT_GT(CountPixels(home, QRect(0, 0, 24, 24), [](QRgb c) { return c != 0xFFFFFFFF; }), 150);
    EXPECT_NE(home.pixel(12, 23), 0xFFFFFFFFu) << "the tip";

    // Numerals 0 1 2 3 4 5 5 6 6 7 in the colours of the classes 0 ... 7 (values inside each class).
    const double classes[] = {0.0, 1.0, 2.0, 3.0, 4.0, 4.7, 5.2, 5.7, 6.2, 7.0};
    for (int i = 0; i <= 9; ++i) {
        const QImage numeral =
            AlertResources::LoadImage(QStringLiteral("PNG_SIS_%1").arg(i)).convertToFormat(QImage::Format_ARGB32);
        const QRgb colour = TSeismicIntensityScale::GetScaleColor(classes[i]);
        EXPECT_GT(CountPixels(numeral, numeral.rect(), [colour](QRgb c) { return c == colour; }), 200)
            << "PNG_SIS_" << i << " in " << Hex(colour).toStdString();
    }
}

struct TWav
{
    int Format = 0, Channels = 0, Rate = 0, Bits = 0;
    std::vector<qint16> Samples;
};

TWav ParseWav(const QByteArray& Bytes)
{
    TWav wav;
    if (Bytes.size() < 12 || !Bytes.startsWith("RIFF") || Bytes.mid(8, 4) != "WAVE") {
        return wav;
    }
    auto u16 = [&](qsizetype At) { return qFromLittleEndian<quint16>(Bytes.constData() + At); };
    auto u32 = [&](qsizetype At) { return qFromLittleEndian<quint32>(Bytes.constData() + At); };
    for (qsizetype at = 12; at + 8 <= Bytes.size();) {
        const QByteArray id = Bytes.mid(at, 4);
        const qsizetype size = u32(at + 4);
        if (id == "fmt ") {
            wav.Format = u16(at + 8);
            wav.Channels = u16(at + 10);
            wav.Rate = int(u32(at + 12));
            wav.Bits = u16(at + 22);
        } else if (id == "data") {
            for (qsizetype i = 0; i + 1 < size && at + 8 + i + 1 < Bytes.size(); i += 2) {
                wav.Samples.push_back(qFromLittleEndian<qint16>(Bytes.constData() + at + 8 + i));
            }
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

TEST_F(AlertArtworkTest, AlarmsArePcmMonoAndLoopWithoutAClick)
{
    // Read through the sound channel's buffers: the chime is the warning sound, the tone the forecast's.
    struct TSound
    {
        const char* Name;
        QByteArray Bytes;
        double Seconds;
    };
    std::vector<TSound> sounds;
    {
        // Gone at the end of the block, while the application object still holds the audio back end.
        TAlertSoundPlayer player;
        EXPECT_EQ(player.LoadSoundData(), 0);
        sounds = {{"warning chime", player.GetWarningSoundData(), 3.295},
                  {"forecast tone", player.GetForecastSoundData(), 1.300}};
    }
    EXPECT_EQ(sounds[0].Bytes, AlertResources::LoadBytes(QStringLiteral("WAV_ALERT_1"), QStringLiteral("wav")));
    for (const TSound& s : sounds) {
        SCOPED_TRACE(s.Name);
        const TWav wav = ParseWav(s.Bytes);
        EXPECT_EQ(wav.Format, 1) << "PCM";
        EXPECT_EQ(wav.Channels, 1);
        EXPECT_EQ(wav.Rate, 44100);
        EXPECT_EQ(wav.Bits, 16);
        ASSERT_FALSE(wav.Samples.empty());
        EXPECT_NEAR(double(wav.Samples.size()) / 44100.0, s.Seconds, 0.01);
        // Loud enough to alarm, quiet at both ends so the loop joins without a step.
        double sum = 0.0;
        int peak = 0;
        for (const qint16 v : wav.Samples) {
            sum += double(v) * v;
            peak = std::max(peak, std::abs(int(v)));
        }
        EXPECT_GT(std::sqrt(sum / double(wav.Samples.size())), 0.1 * 32768);
        EXPECT_GT(peak, 0.6 * 32768);
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_LT(std::abs(int(wav.Samples[i])), 300) << "start " << i;
            EXPECT_LT(std::abs(int(wav.Samples[wav.Samples.size() - 1 - i])), 300) << "end " << i;
        }
    }
}

TEST_F(AlertArtworkTest, FramesTextFacesHaveEveryGlyph)
{
    // Offscreen the desktop's menu font is DejaVu Sans, without Japanese: the packaged face stands in.
    const QString text = AlertFonts::TextFamily();
    EXPECT_EQ(text, QStringLiteral("Noto Sans CJK JP"));
    const QString frameTexts[] = {
        QStringLiteral("震度"), QStringLiteral("到達まであと"), QStringLiteral("秒"),
        QStringLiteral("発生: 2016/04/14 21:26:34"), QStringLiteral("到達: 2011/03/11 14:48:08"),
        // Epicentre names of the telegrams: regions, seas and islands.
        QStringLiteral("熊本県熊本地方"), QStringLiteral("三陸沖"), QStringLiteral("茨城県南部"),
        QStringLiteral("釧路沖"), QStringLiteral("択捉島南東沖"), QStringLiteral("与那国島近海"),
        QStringLiteral("胆振地方中東部"), QStringLiteral("能登半島沖")};
    for (const QString& s : frameTexts) {
        EXPECT_TRUE(AlertFonts::HasGlyphs(text, s)) << s.toStdString();
    }
    EXPECT_TRUE(AlertFonts::HasGlyphs(AlertFonts::SystemFamily(), QStringLiteral("1234567-+")));
    EXPECT_FALSE(AlertFonts::HasGlyphs(QStringLiteral("DejaVu Sans"), QStringLiteral("震度")))
        << "the glyph check must not borrow glyphs from other faces";
}

} // namespace
