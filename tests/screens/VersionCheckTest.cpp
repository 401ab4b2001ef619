// The latest-version check: the file format, the comparison, and real requests
// to a small HTTP server on the loopback address.

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "app/screens/VersionCheckUi.h"
#include "auxiliary/AutoCloseMsgDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

using namespace UlxTest;

namespace {

// Answers every request with one fixed raw response, or never when it is empty.
class TTinyHttpServer : public QObject
{
public:
    QByteArray Response;
    QStringList Requests; // request lines
    int Connections = 0;

    TTinyHttpServer()
    {
        EXPECT_TRUE(FServer.listen(QHostAddress::LocalHost));
        connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = FServer.nextPendingConnection()) {
                ++Connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    FPending[socket] += socket->readAll();
                    const QByteArray& got = FPending[socket];
                    if (!got.contains("\r\n\r\n")) {
                        return;
                    }
                    Requests << QString::fromLatin1(got.left(got.indexOf("\r\n")));
                    if (!Response.isEmpty()) {
                        socket->write(Response);
                        socket->disconnectFromHost();
                    }
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Address() const { return QStringLiteral("http://127.0.0.1:%1").arg(FServer.serverPort()); }

    static QByteArray Ok(const QByteArray& ABody, const QByteArray& AType = "text/plain; charset=utf-8",
                         bool AWithLength = true)
    {
        QByteArray r = "HTTP/1.1 200 OK\r\nContent-Type: " + AType + "\r\nConnection: close\r\n";
        if (AWithLength) {
            r += "Content-Length: " + QByteArray::number(ABody.size()) + "\r\n";
        }
        return r + "\r\n" + ABody;
    }

private:
    QTcpServer FServer;
    QHash<QTcpSocket*, QByteArray> FPending;
};

// The finished() signals of a checker, in order.
struct TOutcomes
{
    std::shared_ptr<QList<bool>> Found = std::make_shared<QList<bool>>();
    explicit TOutcomes(TVeskVersionChecker& AChecker)
    {
        QObject::connect(&AChecker, &TVeskVersionChecker::finished, [list = Found](bool AFound) { *list << AFound; });
    }
};

const QByteArray kVersionFile = "; Ulmaro X version file\r\n"
                                "Product Name:Ulmaro X\r\n"
                                "Product Version:1.2.3.4\r\n"
                                "Published date:2026/11/05\r\n"
                                "Comment1:地震情報の表示を改善しました。\r\n"
                                "Comment2:ダウンロードページから入手できます。\r\n";

TEST(VersionCheckTest, VersionFileLinesAndKeys)
{
    struct Case
    {
        const char* Name;
        QString Text;
        bool Found;
        QString Version;
        QString Comment1;
        QString Comment2;
    };
    const Case cases[] = {
        {"plain", "Product Version:1.2.3.4\nComment1:abc", true, "1.2.3.4", "abc", ""},
        {"blanks", "Product Version: 1.2.3.4 \nComment1: abc", true, "1.2.3.4", " abc", ""},
        {"key case", "product version:1.2.3.4\nComment1:abc", false, "0.0.0.0", "abc", ""},
        {"bad piece", "Product Version:2.x.1", true, "2.0.1.0", "", ""},
        {"extra pieces", "Product Version:1.2.3.4.5", true, "1.2.3.4", "", ""},
        {"comments", ";Product Version:9.9.9.9\n\nProduct Version:1.0.0.1\n;Comment1:no", true, "1.0.0.1", "", ""},
        {"no colon", "Product Version 9.9.9.9\nComment1:a:b", false, "0.0.0.0", "a:b", ""},
        {"last wins, missing parts kept", "Product Version:3.4.5.6\nComment1:x\nProduct Version:7.8\nComment1:y", true,
         "7.8.5.6", "y", ""},
        {"CR", "Comment1:a\rProduct Version:1.2.3.4\rComment2:b", true, "1.2.3.4", "a", "b"},
        {"CR LF", "Comment1:a\r\nProduct Version:1.2.3.4\r\nComment2:b\r\n", true, "1.2.3.4", "a", "b"},
        {"mixed, empty lines", "Comment1:a\n\r\n\rComment2:b\r\r\nProduct Version:5.0.0.0", true, "5.0.0.0", "a", "b"},
        {"empty", "", false, "0.0.0.0", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TVeskVersionChecker checker(QUrl(), nullptr);
        EXPECT_EQ(checker.ParseVersionFile(c.Text), c.Found);
        EXPECT_EQ(checker.VersionText(), c.Version);
        EXPECT_EQ(checker.Comment1(), c.Comment1);
        EXPECT_EQ(checker.Comment2(), c.Comment2);
    }

    TVeskVersionChecker checker(QUrl(), nullptr);
    ASSERT_TRUE(checker.ParseVersionFile(QString::fromUtf8(kVersionFile)));
    EXPECT_EQ(checker.ProductName(), "Ulmaro X");
    EXPECT_EQ(checker.PublishedDate(), QDate(2026, 11, 5));
    EXPECT_EQ(checker.Major(), 1);
    EXPECT_EQ(checker.BuildNo(), 4);
}

TEST(VersionCheckTest, VersionsCompareBypartAsNumbers)
{
    struct Case
    {
        const char* Published;
        const char* Running;
        bool Higher;
    };
    const Case cases[] = {
        {"1.0.10.0", "1.0.9.5", true}, {"1.10.0.0", "2.0.0.0", false}, // joined as digits this would be 11000 > 2000
        {"2.0.0.0", "1.10.0.0", true}, {"1.2.3.4", "1.2.3.4", false},  {"1.2.3.4", "1.2.3.10", false},
        {"0.1.0.1", "0.1.0", true}, // the build's three-part version: a missing part is 0
        {"0.1.0.0", "0.1.0", false},   {"1.0.0.0", "garbage", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Published << " against " << c.Running);
        TVeskVersionChecker checker(QUrl(), nullptr);
        ASSERT_TRUE(checker.ParseVersionFile(QStringLiteral("Product Version:") + c.Published));
        EXPECT_EQ(checker.IsHigherVersion(c.Running), c.Higher);
    }
}

TEST(VersionCheckTest, AddressIsTheServerWithTheFixedPath)
{
    EXPECT_EQ(TVeskVersionChecker::VersionFileUrl("http://127.0.0.1:8080/").toString(),
              "http://127.0.0.1:8080/UlmaroX_version.txt");
    EXPECT_EQ(TVeskVersionChecker::VersionFileUrl(" http://info.example.jp").toString(),
              "http://info.example.jp/UlmaroX_version.txt");

    // Not an http address: refused, and reported after the call returns like every outcome.
    for (const char* server : {"ftp://127.0.0.1", "file:///etc", "", "localhost"}) {
        SCOPED_TRACE(server);
        TVeskVersionChecker checker(TVeskVersionChecker::VersionFileUrl(server), nullptr);
        const TOutcomes outcomes(checker);
        checker.CheckLatestVersion();
        EXPECT_TRUE(outcomes.Found->isEmpty());
        ASSERT_TRUE(WaitUntil([&] { return !outcomes.Found->isEmpty(); }, 2000));
        EXPECT_EQ(*outcomes.Found, QList<bool>({false}));
        EXPECT_EQ(checker.Result(), vcrBadAddress);
    }
}

TEST(VersionCheckTest, AnswersOfTheServer)
{
    struct Case
    {
        const char* Name;
        QByteArray Response;
        TVersionCheckResult Result;
    };
    QByteArray big(TVeskVersionChecker::MaxBodyBytes + 1, ';');
    big.prepend("Product Version:9.0.0.0\n");
    QByteArray garbage;
    for (int i = 0; i < 256; ++i) {
        garbage += char(255 - i);
    }
    const Case cases[] = {
        {"found", TTinyHttpServer::Ok(kVersionFile), vcrFound},
        {"found, no content type", "HTTP/1.1 200 OK\r\nContent-Length: 23\r\n\r\nProduct Version:1.0.0.0", vcrFound},
        {"no version line", TTinyHttpServer::Ok("Comment1:abc\r\n"), vcrNoVersion},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nnot found",
         vcrHttpError},
        {"server error", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", vcrHttpError},
        {"binary type", TTinyHttpServer::Ok(kVersionFile, "application/octet-stream"), vcrNotText},
        {"garbage body", TTinyHttpServer::Ok(garbage), vcrNotText},
        {"NUL in text", TTinyHttpServer::Ok(QByteArray("Product Version:1.0.0.0\n\0\n", 26)), vcrNotText},
        {"oversized, announced", TTinyHttpServer::Ok(big), vcrTooLarge},
        {"oversized, not announced", TTinyHttpServer::Ok(big, "text/plain", false), vcrTooLarge},
        {"exactly the limit", TTinyHttpServer::Ok(big.left(TVeskVersionChecker::MaxBodyBytes)), vcrFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTinyHttpServer server;
        server.Response = c.Response;
        TVeskVersionChecker checker(TVeskVersionChecker::VersionFileUrl(server.Address()), nullptr);
        const TOutcomes outcomes(checker);
        checker.CheckLatestVersion();
        ASSERT_TRUE(WaitUntil([&] { return !outcomes.Found->isEmpty(); }, 5000));
        EXPECT_EQ(checker.Result(), c.Result) << checker.FailureText().toStdString();
        EXPECT_EQ(*outcomes.Found, QList<bool>({c.Result == vcrFound}));
        EXPECT_FALSE(checker.IsRunning());
        EXPECT_EQ(server.Requests, QStringList({"GET /UlmaroX_version.txt HTTP/1.1"}));
    }
}

TEST(VersionCheckTest, StartupCheckOpensTheNoticeForAHigherVersionOnly)
{
    struct Case
    {
        const char* Running;
        bool Notice;
    };
    for (const Case& c : {Case{"1.2.3", true}, Case{"1.2.3.4", false}}) {
        SCOPED_TRACE(c.Running);
        TTinyHttpServer server;
        server.Response = TTinyHttpServer::Ok(kVersionFile);
        TCapturedLog log;
        QWidget owner;
        QPointer<TVeskVersionChecker> checker =
            VersionCheckUi::StartStartupCheck(server.Address(), log.Logger(), &owner, c.Running);
        ASSERT_TRUE(WaitUntil([&] { return checker.isNull(); }, 5000)) << "the checker frees itself";

        QStringList expected = {
            "Check the latest version.", "CheckLatestVersion()(Value=" + server.Address() + "/UlmaroX_version.txt)",
            "Published version(Value=1.2.3.4)", QStringLiteral("Running version(Value=%1)").arg(c.Running)};
        if (c.Notice) {
            expected << "<8> Detected the latest version is published.";
        }
        EXPECT_EQ(log.Lines(), expected);
        auto* notice = owner.findChild<TAutoCloseMsgDlg*>();
        ASSERT_EQ(notice != nullptr, c.Notice);
        if (notice) {
            EXPECT_TRUE(notice->isVisible());
            EXPECT_EQ(notice->PeriodOfDisplay(), 20);
            EXPECT_EQ(notice->Comment1(), "最新バージョン(1.2.3.4)が公開されています。");
            EXPECT_EQ(notice->Comment2(), "地震情報の表示を改善しました。\nダウンロードページから入手できます。");
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        }
    }
}

TEST(VersionCheckTest, StartupCheckLogsAFileThatIsNotFound)
{
    TTinyHttpServer server;
    server.Response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
    TCapturedLog log;
    QWidget owner;
    QPointer<TVeskVersionChecker> checker = VersionCheckUi::StartStartupCheck(server.Address(), log.Logger(), &owner);
    ASSERT_TRUE(WaitUntil([&] { return checker.isNull(); }, 5000));
    EXPECT_EQ(log.Lines().last(), "<8> The version info file is not found.");
    EXPECT_EQ(owner.findChild<TAutoCloseMsgDlg*>(), nullptr);
}

TEST(VersionCheckTest, SilentServerNeitherDelaysTheEqServerConnectionNorHangsTheCheck)
{
    TTinyHttpServer versionServer; // accepts and never answers
    QTcpServer eqServer;
    ASSERT_TRUE(eqServer.listen(QHostAddress::LocalHost));
    TCapturedLog log;
    QWidget owner;

    constexpr int timeoutMs = 3000;
    QPointer<TVeskVersionChecker> checker =
        VersionCheckUi::StartStartupCheck(versionServer.Address(), log.Logger(), &owner, "0.1.0", timeoutMs);
    ASSERT_FALSE(checker.isNull());
    EXPECT_TRUE(checker->IsRunning()) << "the start-up check returns before its outcome";

    // Start-up goes on: the receiver's connection request reaches the EQ server while the check waits.
    QTcpSocket receiver;
    receiver.connectToHost(QHostAddress::LocalHost, eqServer.serverPort());
    receiver.write("connection request\n");
    QByteArray request;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (QTcpSocket* s = eqServer.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [&request, s] { request += s->readAll(); });
            }
            return request.endsWith('\n');
        },
        timeoutMs / 2));
    // The version server has the request and stays silent; the check is still waiting.
    ASSERT_TRUE(WaitUntil([&] { return versionServer.Requests.size() == 1; }, timeoutMs / 2));
    ASSERT_FALSE(checker.isNull());
    EXPECT_TRUE(checker->IsRunning());

    ASSERT_TRUE(WaitUntil([&] { return checker.isNull(); }, timeoutMs + 5000));
    EXPECT_TRUE(log.Has("<2> CheckLatestVersion()(Value=timeout: timed out after 3000 ms)"))
        << log.Lines().join('\n').toStdString();
    EXPECT_EQ(log.Lines().last(), "<8> The version info file is not found.");
}

TEST(VersionCheckTest, ButtonCheckShowsThePublishedVersionOrTheError)
{
    struct Case
    {
        QByteArray Response;
        QMessageBox::Icon Icon;
        QString Text;
    };
    const Case cases[] = {
        {TTinyHttpServer::Ok(kVersionFile), QMessageBox::Information,
         "現在公開中のバージョンは次の通りです。\n1.2.3.4\n地震情報の表示を改善しました。\n"
         "ダウンロードページから入手できます。"},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", QMessageBox::Critical,
         "最新版のバージョン確認ができませんでした。\n暫くたってから、再度確認してください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Icon));
        TTinyHttpServer server;
        server.Response = c.Response;
        QWidget home;
        QPushButton button(&home);
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        auto answered = AnswerNextModal([&](QWidget* AModal) {
            auto* box = qobject_cast<QMessageBox*>(AModal);
            ASSERT_NE(box, nullptr);
            shown = box->text();
            icon = box->icon();
            EXPECT_TRUE(button.isEnabled()) << "the button is back once the outcome is shown";
            box->button(QMessageBox::Ok)->click();
        });
        QPointer<TVeskVersionChecker> checker =
            VersionCheckUi::StartButtonCheck(server.Address(), nullptr, &home, &button);
        EXPECT_FALSE(button.isEnabled()) << "no second check while one runs";
        ASSERT_TRUE(WaitUntil([&] { return *answered && checker.isNull(); }, 5000));
        EXPECT_EQ(shown, c.Text);
        EXPECT_EQ(icon, c.Icon);
    }
}

// A build that names no server checks nothing: the start-up check is skipped with a
// log line and the button says why, without a request.
TEST(VersionCheckTest, WithoutAnAddressThereIsNoCheckAndTheButtonSaysWhy)
{
    TCapturedLog log;
    EXPECT_EQ(VersionCheckUi::StartStartupCheck(QString(), log.Logger(), nullptr), nullptr);
    EXPECT_TRUE(log.Has("No version check: no address set (VersionCheckUrl).")) << log.Lines().join('\n').toStdString();
    QWidget home;
    QString shown;
    auto answered = AnswerNextModal([&](QWidget* AModal) {
        auto* box = qobject_cast<QMessageBox*>(AModal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(VersionCheckUi::StartButtonCheck(QStringLiteral("  "), nullptr, &home), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return *answered; }, 5000));
    EXPECT_EQ(shown, VersionCheckUi::NoAddressMessage());
}

} // namespace
