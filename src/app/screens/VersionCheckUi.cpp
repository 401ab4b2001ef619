#include "app/screens/VersionCheckUi.h"

#include "auxiliary/AutoCloseMsgDlg.h"
#include "logging/VeskLogging.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>

#include <exception>

namespace VersionCheckUi {

namespace {

const QString kStartupCheck = QStringLiteral("Check the latest version.");

TVeskVersionChecker* NewChecker(const QString& AServer, TVeskLogger* ALogger, int ATimeoutMs)
{
    auto* checker = new TVeskVersionChecker(TVeskVersionChecker::VersionFileUrl(AServer), ALogger);
    checker->SetTimeoutMs(ATimeoutMs);
    return checker;
}

// An application-modal box that does not block the caller; it frees itself.
void OpenMessageBox(QWidget* AParent, QMessageBox::Icon AIcon, const QString& AText)
{
    auto* box = new QMessageBox(AIcon, QStringLiteral("Ulmaro X"), AText, QMessageBox::Ok, AParent);
    box->setObjectName(QStringLiteral("VersionCheckMsgBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to its window only: an alert window opening meanwhile still takes input.
    box->setWindowModality(Qt::WindowModal);
    box->show();
}

} // namespace

QString NoticeComment1(const TVeskVersionChecker& AChecker)
{
    return QStringLiteral("最新バージョン(") + AChecker.VersionText() + QStringLiteral(")が公開されています。");
}

QString NoticeComment2(const TVeskVersionChecker& AChecker)
{
    return AChecker.Comment1() + QLatin1Char('\n') + AChecker.Comment2();
}

QString PublishedVersionMessage(const TVeskVersionChecker& AChecker)
{
    return QStringLiteral("現在公開中のバージョンは次の通りです。\n") + AChecker.VersionText() + QLatin1Char('\n') +
           AChecker.Comment1() + QLatin1Char('\n') + AChecker.Comment2();
}

QString CheckFailedMessage()
{
    return QStringLiteral("最新版のバージョン確認ができませんでした。\n暫くたってから、再度確認してください。");
}

TVeskVersionChecker* StartStartupCheck(const QString& AServer, TVeskLogger* ALogger, QWidget* AOwner,
                                       const QString& ARunningVersion, int ATimeoutMs)
{
    TVeskLogger* logger = TVeskLogger::OrNull(ALogger);
    if (AServer.trimmed().isEmpty()) {
        logger->Send(QStringLiteral("No version check: no address set (VersionCheckUrl)."));
        return nullptr;
    }
    logger->Send(kStartupCheck);
    try {
        TVeskVersionChecker* checker = NewChecker(AServer, ALogger, ATimeoutMs);
        QPointer<QWidget> owner(AOwner);
        QObject::connect(
            checker, &TVeskVersionChecker::finished, checker, [checker, logger, owner, ARunningVersion](bool Found) {
                try {
                    if (!Found) {
                        logger->Send(vmtNotable, QStringLiteral("The version info file is not found."));
                    } else {
                        logger->Send(QStringLiteral("Running version"), ARunningVersion);
                        if (checker->IsHigherVersion(ARunningVersion)) {
                            logger->Send(vmtNotable, QStringLiteral("Detected the latest version is published."));
                            auto* notice = new TAutoCloseMsgDlg(owner);
                            notice->SetComment1(NoticeComment1(*checker));
                            notice->SetComment2(NoticeComment2(*checker));
                            notice->StartDisplaying(NoticeSeconds);
                        }
                    }
                } catch (const std::exception& e) {
                    logger->Send(vmtCaught, kStartupCheck, QString::fromLocal8Bit(e.what()));
                }
                checker->deleteLater();
            });
        checker->CheckLatestVersion();
        return checker;
    } catch (const std::exception& e) {
        logger->Send(vmtCaught, kStartupCheck, QString::fromLocal8Bit(e.what()));
        return nullptr;
    }
}

QString NoAddressMessage()
{
    return QStringLiteral("最新版の確認先が設定されていないため、確認できません。\n"
                          "設定ファイル UlmaroX.cnf の [Others] VersionCheckUrl に確認先を設定してください。");
}

TVeskVersionChecker* StartButtonCheck(const QString& AServer, TVeskLogger* ALogger, QWidget* AParent,
                                      QAbstractButton* AButton, int ATimeoutMs)
{
    if (AServer.trimmed().isEmpty()) {
        OpenMessageBox(AParent, QMessageBox::Information, NoAddressMessage());
        return nullptr;
    }
    TVeskVersionChecker* checker = NewChecker(AServer, ALogger, ATimeoutMs);
    QPointer<QWidget> parent(AParent);
    QPointer<QAbstractButton> button(AButton);
    if (button) {
        button->setEnabled(false);
    }
    QObject::connect(checker, &TVeskVersionChecker::finished, checker, [checker, parent, button](bool Found) {
        if (button) {
            button->setEnabled(true);
        }
        if (Found) {
            OpenMessageBox(parent, QMessageBox::Information, PublishedVersionMessage(*checker));
        } else {
            OpenMessageBox(parent, QMessageBox::Critical, CheckFailedMessage());
        }
        checker->deleteLater();
    });
    checker->CheckLatestVersion();
    return checker;
}

} // namespace VersionCheckUi
