#include "auxiliary/VeskAgreement.h"

#include "auxiliary/VeskAuxResources.h"
#include "logging/VeskLogging.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QVBoxLayout>

TVeskAgreementFrm::TVeskAgreementFrm(QWidget* AOwner)
    : QDialog(AOwner), FHeaderPnl(new QLabel(this)), FArticleMem(new QPlainTextEdit(this)),
      FCloseBtn(new QPushButton(QStringLiteral("閉じる"), this))
{
    VeskInitAuxResources();
    // Modal to its own window only: the alert window must take input while it is open.
    setWindowModality(Qt::WindowModal);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    FHeaderPnl->setFixedHeight(40);
    FHeaderPnl->setAlignment(Qt::AlignCenter);
    QFont headerFont = FHeaderPnl->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.25);
    FHeaderPnl->setFont(headerFont);

    FArticleMem->setReadOnly(true);
    FArticleMem->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FArticleMem->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FArticleMem->setBackgroundRole(QPalette::Window);
    QPalette memoPalette = FArticleMem->palette();
    memoPalette.setColor(QPalette::Base, memoPalette.color(QPalette::Window));
    FArticleMem->setPalette(memoPalette);

    FCloseBtn->setFixedSize(75, 25);
    FCloseBtn->setDefault(true);
    connect(FCloseBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 7, 8, 8);
    bottom->addStretch();
    bottom->addWidget(FCloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FHeaderPnl);
    layout->addWidget(FArticleMem, 1);
    layout->addLayout(bottom);
    setFixedSize(584, 361);
}

QString TVeskAgreementFrm::DocumentTitle(TAgreementType AType)
{
    return AType == atLicence ? QStringLiteral("ソフトウェア使用許諾契約書")
                              : QStringLiteral("緊急地震速報配信サービス利用規約");
}

QString TVeskAgreementFrm::DocumentResource(TAgreementType AType)
{
    return AType == atLicence ? QStringLiteral("TXT_AGREEMENT1") : QStringLiteral("TXT_AGREEMENT2");
}

QStringList TVeskAgreementFrm::LoadDocumentLines(TAgreementType AType)
{
    VeskInitAuxResources();
    QFile file(QStringLiteral(":/aux/%1.txt").arg(DocumentResource(AType)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The documents are kept in UTF-8, so they read the same on every system;
    // CR LF and LF line ends are both accepted.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(file.readAll());
    if (decoder.hasError())
        return {};
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

bool TVeskAgreementFrm::SetDocumentType(TAgreementType AType)
{
    TVeskLogger* log = TVeskLogger::OrNull(VeskLogger());
    TVeskLogScope scope(log, QStringLiteral("TVeskAgreementFrm.SetDocumentType()"));
    FDocumentType = AType;
    const QString title = DocumentTitle(AType);
    setWindowTitle(QStringLiteral("Ulmaro X - ") + title);
    FHeaderPnl->setText(title);
    const QStringList lines = LoadDocumentLines(AType);
    FArticleMem->setPlainText(lines.join(QLatin1Char('\n')));
    FArticleMem->moveCursor(QTextCursor::Start);
    if (lines.isEmpty()) {
        log->Send(vmtCaught, QStringLiteral("Document not readable"), DocumentResource(AType));
        return false;
    }
    log->Send(QStringLiteral("Document"), DocumentResource(AType));
    return true;
}

void TVeskAgreementFrm::ShowAgreementForm(QWidget* AOwner, TAgreementType AType)
{
    TVeskAgreementFrm viewer(AOwner);
    viewer.SetDocumentType(AType);
    if (QScreen* screen = AOwner ? AOwner->screen() : QGuiApplication::primaryScreen())
        viewer.move(screen->availableGeometry().center() - viewer.rect().center());
    viewer.exec();
}
