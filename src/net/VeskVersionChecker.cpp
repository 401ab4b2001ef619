#include "net/VeskVersionChecker.h"

#include "defines/VeskDefines.h"
#include "logging/VeskLogging.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>

#ifndef ULX_VERSION
#define ULX_VERSION "0.0.0"
#endif

namespace {

const QString kCheckName = QStringLiteral("CheckLatestVersion()");

// Text as a person writes it: no control characters apart from tabs and line ends.
bool IsPlainText(const QString& AText)
{
    for (const QChar c : AText) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n') || u == 0x7F) {
            return false;
        }
    }
    return true;
}

QString ResultName(TVersionCheckResult AResult)
{
    switch (AResult) {
    case vcrPending:
        return QStringLiteral("pending");
    case vcrFound:
        return QStringLiteral("found");
    case vcrNoVersion:
        return QStringLiteral("no_version");
    case vcrBadAddress:
        return QStringLiteral("bad_address");
    case vcrHttpError:
        return QStringLiteral("http_error");
    case vcrTimeout:
        return QStringLiteral("timeout");
    case vcrNotText:
        return QStringLiteral("not_text");
    case vcrTooLarge:
        return QStringLiteral("too_large");
    }
    return QString();
}

} // namespace

QString VeskProgramVersion()
{
    return QStringLiteral(ULX_VERSION);
}

QUrl TVeskVersionChecker::VersionFileUrl(const QString& AServer)
{
    QString server = AServer.trimmed();
    while (server.endsWith(QLatin1Char('/'))) {
        server.chop(1);
    }
    return QUrl(server + QStringLiteral("/UlmaroX_version.txt"), QUrl::TolerantMode);
}

TVeskVersionChecker::TVeskVersionChecker(const QUrl& AUrl, TVeskLogger* ALogger, QObject* AParent)
    : QObject(AParent), FLogger(TVeskLogger::OrNull(ALogger)), FUrl(AUrl), FDeadline(new QTimer(this))
{
    FDeadline->setSingleShot(true);
    connect(FDeadline, &QTimer::timeout, this, &TVeskVersionChecker::OnTimeout);
}

TVeskVersionChecker::~TVeskVersionChecker()
{
    if (FReply) {
        // Freed in the middle of a check: no signal any more.
        FReply->disconnect(this);
        FReply->abort();
    }
}

void TVeskVersionChecker::CheckLatestVersion()
{
    if (IsRunning() || FResult != vcrPending) {
        return;
    }
    FLogger->Send(kCheckName, FUrl.toString());
    const QString scheme = FUrl.scheme().toLower();
    if (!FUrl.isValid() || FUrl.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        // Reported after the call returns, as every other outcome.
        QTimer::singleShot(0, this, [this] { Finish(vcrBadAddress, QStringLiteral("not an http address")); });
        return;
    }
    FManager = new QNetworkAccessManager(this);
    FManager->setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(FUrl);
    request.setRawHeader("Accept", "text/plain");
    FReply = FManager->get(request);
    // The transfer pauses once the buffer holds more than the limit, so an
    // oversized body is never read to its end.
    FReply->setReadBufferSize(MaxBodyBytes + 1);
    connect(FReply, &QNetworkReply::metaDataChanged, this, &TVeskVersionChecker::OnMetaData);
    connect(FReply, &QNetworkReply::readyRead, this, &TVeskVersionChecker::OnReadyRead);
    connect(FReply, &QNetworkReply::finished, this, &TVeskVersionChecker::OnFinished);
    FDeadline->start(FTimeoutMs);
}

void TVeskVersionChecker::OnMetaData()
{
    if (!FReply || FRefusal != vcrPending) {
        return;
    }
    const int status = FReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        return; // ends as an HTTP error; the body is not looked at
    }
    const QString type = FReply->header(QNetworkRequest::ContentTypeHeader).toString().trimmed();
    if (!type.isEmpty() && !type.startsWith(QStringLiteral("text/"), Qt::CaseInsensitive)) {
        Refuse(vcrNotText, QStringLiteral("content type %1").arg(type));
        return;
    }
    const QVariant length = FReply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > MaxBodyBytes) {
        Refuse(vcrTooLarge, QStringLiteral("%1 bytes announced").arg(length.toLongLong()));
    }
}

void TVeskVersionChecker::OnReadyRead()
{
    if (!FReply || FRefusal != vcrPending) {
        return;
    }
    const int status = FReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        FReply->skip(FReply->bytesAvailable());
        return;
    }
    FBody += FReply->readAll();
    if (FBody.size() > MaxBodyBytes) {
        Refuse(vcrTooLarge, QStringLiteral("more than %1 bytes").arg(MaxBodyBytes));
    }
}

void TVeskVersionChecker::OnTimeout()
{
    if (FReply) {
        Refuse(vcrTimeout, QStringLiteral("timed out after %1 ms").arg(FTimeoutMs));
    }
}

void TVeskVersionChecker::Refuse(TVersionCheckResult AResult, const QString& AText)
{
    FRefusal = AResult;
    FFailureText = AText;
    // abort() ends the reply at once; its finished() reports the refusal.
    FReply->abort();
}

void TVeskVersionChecker::OnFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != FReply) {
        return;
    }
    FDeadline->stop();
    FReply = nullptr;
    reply->deleteLater();
    if (FRefusal != vcrPending) {
        Finish(FRefusal, FFailureText);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        Finish(vcrHttpError, reply->errorString());
        return;
    }
    FBody += reply->readAll();
    if (FBody.size() > MaxBodyBytes) {
        Finish(vcrTooLarge, QStringLiteral("more than %1 bytes").arg(MaxBodyBytes));
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(FBody);
    if (decoder.hasError() || !IsPlainText(text)) {
        Finish(vcrNotText, QStringLiteral("the body is not UTF-8 text"));
        return;
    }
    if (ParseVersionFile(text)) {
        Finish(vcrFound, QString());
    } else {
        Finish(vcrNoVersion, QStringLiteral("no Product Version line"));
    }
}

void TVeskVersionChecker::Finish(TVersionCheckResult AResult, const QString& AText)
{
    FResult = AResult;
    FFailureText = AText;
    FBody.clear();
    if (AResult == vcrFound) {
        FLogger->Send(QStringLiteral("Published version"), FVersionText);
    } else {
        FLogger->Send(vmtWarning, kCheckName, QStringLiteral("%1: %2").arg(ResultName(AResult), AText));
    }
    emit finished(AResult == vcrFound);
}

bool TVeskVersionChecker::ParseVersionFile(const QString& AText)
{
    bool found = false;
    qsizetype pos = 0;
    while (pos <= AText.size()) {
        qsizetype end = pos;
        while (end < AText.size() && AText[end] != u'\r' && AText[end] != u'\n') {
            ++end;
        }
        const QStringView line = QStringView(AText).mid(pos, end - pos);
        // CR LF is one line end.
        pos = end + ((end + 1 < AText.size() && AText[end] == u'\r' && AText[end + 1] == u'\n') ? 2 : 1);

        if (line.isEmpty() || line.front() == u';') {
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) {
            continue;
        }
        const QStringView key = line.left(colon);
        const QString value = line.mid(colon + 1).toString();
        if (key == u"Product Version") {
            const QStringList pieces = value.split(QLatin1Char('.'));
            for (int i = 0; i < 4 && i < pieces.size(); ++i) {
                FParts[i] = VeskStrToInt(pieces[i].trimmed()).value_or(0);
            }
            FVersionText = QString::asprintf("%d.%d.%d.%d", FParts[0], FParts[1], FParts[2], FParts[3]);
            found = true;
        } else if (key == u"Product Name") {
            FProductName = value;
        } else if (key == u"Published date") {
            const QString date = value.trimmed();
            FPublishedDate = QLocale::system().toDate(date, QLocale::ShortFormat);
            // The server's file is written once for every reader's locale.
            if (!FPublishedDate.isValid()) {
                FPublishedDate = QDate::fromString(date, QStringLiteral("yyyy/M/d"));
            }
            if (!FPublishedDate.isValid()) {
                FPublishedDate = QDate::fromString(date, Qt::ISODate);
            }
        } else if (key == u"Comment1") {
            FComment1 = value;
        } else if (key == u"Comment2") {
            FComment2 = value;
        }
    }
    return found;
}

std::array<qint32, 4> TVeskVersionChecker::VersionParts(const QString& AVersion)
{
    std::array<qint32, 4> parts{};
    const QStringList pieces = AVersion.split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < pieces.size(); ++i) {
        parts[i] = VeskStrToInt(pieces[i].trimmed()).value_or(0);
    }
    return parts;
}

bool TVeskVersionChecker::IsHigherVersion(const QString& AVersion) const
{
    return VersionParts(AVersion) < FParts;
}
