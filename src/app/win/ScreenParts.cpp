#include "app/win/ScreenParts.h"

#include "config/VeskAppSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace ScreenParts {

QLabel* Caption(const QString& AText, QWidget* AParent)
{
    auto* label = new QLabel(AText, AParent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

QLabel* Note(const QString& AText, QWidget* AParent)
{
    auto* label = new QLabel(AText, AParent);
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
    label->setPalette(p);
    return label;
}

QLineEdit* ReadOnlyField(const QString& AName, QWidget* AParent)
{
    auto* edit = new QLineEdit(AParent);
    edit->setObjectName(AName);
    edit->setReadOnly(true);
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    edit->setPalette(p);
    return edit;
}

QCheckBox* NewCheck(const char* AText, const char* AName, QWidget* AParent)
{
    auto* box = new QCheckBox(QString::fromUtf8(AText), AParent);
    box->setObjectName(QString::fromUtf8(AName));
    return box;
}

QString Fixed(const QString& AText, int ADecimals)
{
    bool ok = false;
    const double value = AText.toDouble(&ok);
    return ok ? QString::number(value, 'f', ADecimals) : AText;
}

} // namespace ScreenParts

TSettingBinder::TSettingBinder(TVeskAppSettings& ASettings, QObject* AParent) : QObject(AParent), FSettings(ASettings)
{
    connect(&FSettings, &TVeskAppSettings::valueChanged, this, &TSettingBinder::Show);
}

void TSettingBinder::Bind(TVeskSettingId AId, std::function<void()> AShow)
{
    FShowers.emplace(AId, std::move(AShow));
}

QCheckBox* TSettingBinder::BindCheck(QCheckBox* ABox, TVeskSettingId AId, TCheckUse AUse)
{
    Bind(AId, [this, ABox, AId] { ABox->setChecked(FSettings.GetFlag(AId)); });
    if (AUse == UserSets) {
        // A user's change reaches the settings at once; the next decision reads it.
        connect(ABox, &QCheckBox::toggled, this, [this, AId](bool On) { Write([&] { FSettings.SetFlag(AId, On); }); });
    }
    return ABox;
}

void TSettingBinder::ShowAll()
{
    FShowing = true;
    for (const auto& [key, show] : FShowers) {
        show();
    }
    FShowing = false;
}

void TSettingBinder::Show(TVeskSettingId AId)
{
    FShowing = true;
    const auto [first, last] = FShowers.equal_range(AId);
    for (auto it = first; it != last; ++it) {
        it->second();
    }
    FShowing = false;
}
