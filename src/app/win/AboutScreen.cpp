#include "app/win/AboutScreen.h"

#include "app/win/ScreenParts.h"
#include "auxiliary/VeskAgreement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutScreen::TAboutScreen(const QString& AProgramVersion, QWidget* AParent) : QWidget(AParent)
{
    setObjectName(QStringLiteral("TabAbout"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(4);
    layout->addWidget(ScreenParts::Caption(QStringLiteral("■ Ulmaro Xについて"), this));
    auto* versionRow = new QHBoxLayout();
    versionRow->addWidget(new QLabel(QStringLiteral("バージョン:"), this));
    auto* version = new QLabel(AProgramVersion, this);
    version->setObjectName(QStringLiteral("ProgramVersionLbl"));
    versionRow->addWidget(version);
    versionRow->addStretch();
    layout->addLayout(versionRow);
    layout->addSpacing(6);
    layout->addWidget(ScreenParts::Caption(QStringLiteral("■ 使用許諾"), this));
    layout->addWidget(
        ScreenParts::Note(QStringLiteral("本ソフトウェアの使用条件は使用許諾契約書に定めています。"), this));
    auto* licence = new QPushButton(QStringLiteral("ソフトウェア使用許諾契約書"), this);
    licence->setObjectName(QStringLiteral("LicenceBtn"));
    connect(licence, &QPushButton::clicked, this,
            [this] { TVeskAgreementFrm::ShowAgreementForm(window(), atLicence); });
    layout->addWidget(licence, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addWidget(ScreenParts::Caption(QStringLiteral("■ 緊急地震速報配信サービス利用規約"), this));
    layout->addWidget(ScreenParts::Note(QStringLiteral("予測震度と到達時刻は利用者の所在地に対する計算上の目安であり、"
                                                       "気象庁の発表する予報ではありません。"),
                                        this));
    auto* terms = new QPushButton(QStringLiteral("緊急地震速報配信サービス利用規約"), this);
    terms->setObjectName(QStringLiteral("EqEscapeClauseBtn"));
    connect(terms, &QPushButton::clicked, this,
            [this] { TVeskAgreementFrm::ShowAgreementForm(window(), atEqEscapeClause); });
    layout->addWidget(terms, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addWidget(ScreenParts::Caption(QStringLiteral("■著作権等"), this));
    layout->addWidget(
        ScreenParts::Note(QStringLiteral("Copyright © Ulmaro X の開発者。MIT ライセンスのもとで配布しています。\n"
                                         "地図データ: GSHHG (LGPL)。フォント: Noto Sans CJK (SIL OFL)。"),
                          this));
    layout->addStretch();
}
