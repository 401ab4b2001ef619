#include "auxiliary/AutoCloseMsgDlg.h"

#include "alertview/AlertFonts.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int ClientWidth = 394;
constexpr int ClientHeight = 211;
constexpr int FooterHeight = 27;

// A bevelled panel with a word-wrapped label filling it; text beyond its height is cut off.
QLabel* AddCommentPanel(QWidget* AParent, const QString& AName, const QRect& AGeometry)
{
    auto* panel = new QFrame(AParent);
    panel->setObjectName(AName + QStringLiteral("Pnl"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(AGeometry);
    auto* label = new QLabel(panel);
    label->setObjectName(AName + QStringLiteral("Lbl"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    // Whole lines only: a line that does not fit is left out, not cut in half.
    QRect area = panel->contentsRect().adjusted(4, 3, -4, -3);
    const int lineSpacing = label->fontMetrics().lineSpacing();
    area.setHeight(std::max(lineSpacing, area.height() / lineSpacing * lineSpacing));
    label->setGeometry(area);
    return label;
}

} // namespace

TAutoCloseMsgDlg::TAutoCloseMsgDlg(QWidget* AParent)
    : QDialog(AParent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FCountupTmr(new QTimer(this))
{
    setObjectName(QStringLiteral("AutoCloseMsgDlgFrm"));
    setWindowTitle(QStringLiteral("Ulmaro X"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QFont font(AlertFonts::TextFamily());
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(ClientWidth, ClientHeight);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    FComment1Lbl = AddCommentPanel(this, QStringLiteral("Comment1"), QRect(8, 12, 378, 50));
    FComment2Lbl = AddCommentPanel(this, QStringLiteral("Comment2"), QRect(8, 72, 378, 69));

    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseDlgBtn"));
    close->setGeometry(121, 147, 160, 31);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* footer = new QFrame(this);
    footer->setObjectName(QStringLiteral("FooterPnl"));
    footer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    footer->setGeometry(0, ClientHeight - FooterHeight, ClientWidth, FooterHeight);
    FFooterLbl = new QLabel(footer);
    FFooterLbl->setGeometry(footer->contentsRect().adjusted(6, 0, -6, 0));
    FFooterLbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    FCountupTmr->setInterval(TickIntervalMs);
    connect(FCountupTmr, &QTimer::timeout, this, &TAutoCloseMsgDlg::CountupTmrTimer);
}

void TAutoCloseMsgDlg::SetComment1(const QString& AMsg)
{
    FComment1Lbl->setText(AMsg);
}

void TAutoCloseMsgDlg::SetComment2(const QString& AMsg)
{
    FComment2Lbl->setText(AMsg);
}

QString TAutoCloseMsgDlg::Comment1() const
{
    return FComment1Lbl->text();
}

QString TAutoCloseMsgDlg::Comment2() const
{
    return FComment2Lbl->text();
}

QString TAutoCloseMsgDlg::FooterText() const
{
    return FFooterLbl->text();
}

void TAutoCloseMsgDlg::StartDisplaying(int ASec)
{
    FPeriodOfDisplay = ASec;
    FCountupTmr->start();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void TAutoCloseMsgDlg::CountupTmrTimer()
{
    if (FPeriodOfDisplay <= 0) {
        close();
        return;
    }
    FFooterLbl->setText(QStringLiteral("Close automatically in %1 sec...").arg(FPeriodOfDisplay));
    --FPeriodOfDisplay;
}

void TAutoCloseMsgDlg::closeEvent(QCloseEvent* Event)
{
    FCountupTmr->stop();
    QDialog::closeEvent(Event);
}
