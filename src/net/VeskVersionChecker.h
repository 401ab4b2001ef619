#pragma once

#include <QByteArray>
#include <QDate>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <array>

class QNetworkAccessManager;

class QTimer;
class TVeskLogger;

// The running program's version, "major.minor.patch" of the build.
QString VeskProgramVersion();

// Why a check ended as it did.
enum TVersionCheckResult
{
    vcrPending,    // not finished yet
    vcrFound,      // the file was read and held a "Product Version" line
    vcrNoVersion,  // the file was read but held no "Product Version" line
    vcrBadAddress, // the address is not an http or https URL
    vcrHttpError,  // no connection, an error status or a read error
    vcrTimeout,    // no complete answer within the time-out
    vcrNotText,    // a body that is not UTF-8 text
    vcrTooLarge    // a body larger than MaxBodyBytes
};

// Fetches the version file published on the information server and compares
// the version in it with a running one. One checker serves one check:
// CheckLatestVersion starts an asynchronous GET and returns at once; finished()
// follows exactly once, after the answer, a failure or the time-out, never
// within the call. Main thread only.
//
// The file is UTF-8 text, read line by line (CR, LF or CR LF). Empty lines and
// lines starting with ';' are comments; any other line is split at its first ':'
// into a key and a value; keys match exactly; the last occurrence of a key wins.
// A body that is not text or larger than MaxBodyBytes is refused as soon as that
// is known, without reading the rest.
class TVeskVersionChecker : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 10000;
    static constexpr qint64 MaxBodyBytes = 64 * 1024;

    // The version file on the server AServer ("http://host[:port]"): its fixed path appended.
    static QUrl VersionFileUrl(const QString& AServer);

    TVeskVersionChecker(const QUrl& AUrl, TVeskLogger* ALogger, QObject* AParent = nullptr);
    ~TVeskVersionChecker() override;

    // The whole check, from the request to the last byte of the answer.
    void SetTimeoutMs(int AMs) { FTimeoutMs = AMs; }
    int TimeoutMs() const { return FTimeoutMs; }

    void CheckLatestVersion();
    bool IsRunning() const { return FReply != nullptr; }
    TVersionCheckResult Result() const { return FResult; }
    // "timed out after 10000 ms", the HTTP error text, ...; empty after success.
    QString FailureText() const { return FFailureText; }

    // Reads the lines of a version file into the fields; true when a
    // "Product Version" line was found. Fields of absent keys keep their values.
    bool ParseVersionFile(const QString& AText);
    // True when the published version is higher than AVersion, compared part by
    // part as numbers ("1.10.0.0" is lower than "2.0.0.0").
    bool IsHigherVersion(const QString& AVersion) const;
    // The four parts of a version text: pieces that are no number count 0,
    // missing pieces 0, pieces beyond the fourth are ignored.
    static std::array<qint32, 4> VersionParts(const QString& AVersion);

    QUrl Url() const { return FUrl; }
    QString VersionText() const { return FVersionText; }
    qint32 Major() const { return FParts[0]; }
    qint32 Minor() const { return FParts[1]; }
    qint32 Release() const { return FParts[2]; }
    qint32 BuildNo() const { return FParts[3]; }
    QString ProductName() const { return FProductName; }
    // Invalid when the file had no date or one that does not convert.
    QDate PublishedDate() const { return FPublishedDate; }
    QString Comment1() const { return FComment1; }
    QString Comment2() const { return FComment2; }

signals:
    // Found: the request succeeded and the file held a "Product Version" line.
    void finished(bool Found);

private:
    void OnMetaData();
    void OnReadyRead();
    void OnFinished();
    void OnTimeout();
    // Stops the transfer now; the reply's finished() then ends the check with AResult.
    void Refuse(TVersionCheckResult AResult, const QString& AText);
    void Finish(TVersionCheckResult AResult, const QString& AText);

    TVeskLogger* FLogger;
    QUrl FUrl;
    int FTimeoutMs = DefaultTimeoutMs;
    QNetworkAccessManager* FManager = nullptr;
    QPointer<QNetworkReply> FReply;
    QTimer* FDeadline;
    QByteArray FBody;
    TVersionCheckResult FResult = vcrPending;
    TVersionCheckResult FRefusal = vcrPending;
    QString FFailureText;

    std::array<qint32, 4> FParts{};
    QString FVersionText = QStringLiteral("0.0.0.0");
    QString FProductName;
    QDate FPublishedDate;
    QString FComment1;
    QString FComment2;
};
