#include "app/win/Autostart.h"

#include "defines/VeskPlatform.h"
#include "logging/VeskLogging.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

namespace {

const QString EntryName = QStringLiteral("ulmarox.desktop");

} // namespace

TVeskAutostart::TVeskAutostart(QString AProgramPath, QString AFolder)
    : FProgramPath(std::move(AProgramPath)), FFolder(std::move(AFolder))
{
    if (FProgramPath.isEmpty()) {
        FProgramPath = QCoreApplication::applicationFilePath();
    }
    if (FFolder.isEmpty()) {
        FFolder = DefaultFolder();
    }
}

QString TVeskAutostart::DefaultFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base + QStringLiteral("/autostart"));
}

QString TVeskAutostart::EntryFileName() const
{
    return QDir(FFolder).filePath(EntryName);
}

bool TVeskAutostart::IsEnabled() const
{
    QFile file(EntryFileName());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    bool inEntry = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inEntry || eq < 0) {
            continue;
        }
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

QString TVeskAutostart::ExecArgument(const QString& AProgramPath)
{
    // Exec quoting: an argument with a reserved character goes in double quotes,
    // where '"', '`', '$' and '\' take a backslash; then the string value's own
    // escape doubles every backslash. '%' starts a field code, so it is doubled.
    static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar c : AProgramPath) {
        quote = quote || Reserved.contains(c);
    }
    QString arg;
    if (quote) {
        arg = QStringLiteral("\"");
        for (const QChar c : AProgramPath) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                arg += u'\\';
            }
            arg += c;
        }
        arg += u'"';
    } else {
        arg = AProgramPath;
    }
    arg.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    arg.replace(QStringLiteral("%"), QStringLiteral("%%"));
    arg.replace(QStringLiteral("\n"), QStringLiteral("\\n"));
    arg.replace(QStringLiteral("\t"), QStringLiteral("\\t"));
    arg.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
    return arg;
}

QByteArray TVeskAutostart::EntryText() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Ulmaro X\n"
                          "Comment=Earthquake Early Warning receiver\n"
                          "Comment[ja]=緊急地震速報の受信ソフト\n"
                          "Exec=%1\n"
                          "Icon=ulmarox\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecArgument(FProgramPath))
        .toUtf8();
}

bool TVeskAutostart::Enable(QString* AReason) const
{
    QString ignored;
    QString& reason = AReason ? *AReason : ignored;
    if (!QDir().mkpath(FFolder)) {
        reason = QStringLiteral("cannot create the folder %1").arg(FFolder);
        return false;
    }
    // Written whole and renamed into place: a desktop never reads half an entry.
    QString error;
    if (!VeskReplaceFile(EntryFileName(), EntryText(), &error)) {
        reason = QStringLiteral("cannot write %1: %2").arg(EntryFileName(), error);
        return false;
    }
    return true;
}

bool TVeskAutostart::Disable(QString* AReason) const
{
    QFile file(EntryFileName());
    if (!file.exists() && !QFileInfo(EntryFileName()).isSymLink()) {
        return true;
    }
    if (!file.remove()) {
        if (AReason) {
            *AReason = QStringLiteral("cannot remove %1: %2").arg(EntryFileName(), file.errorString());
        }
        return false;
    }
    return true;
}

void TVeskAutostart::Bind(QCheckBox* ABox, TVeskLogger* ALogger)
{
    ABox->setChecked(TVeskAutostart().IsEnabled());
    QObject::connect(ABox, &QCheckBox::toggled, ABox, [ABox, ALogger](bool On) {
        TVeskLogger* logger = TVeskLogger::OrNull(ALogger);
        const TVeskAutostart autostart;
        QString reason;
        const bool done = On ? autostart.Enable(&reason) : autostart.Disable(&reason);
        logger->Send(vmtNotable, On ? QStringLiteral("Autostart enable") : QStringLiteral("Autostart disable"),
                     done ? autostart.EntryFileName() : reason);
        if (done) {
            ABox->setToolTip(QString());
            return;
        }
        const QSignalBlocker blocker(ABox);
        ABox->setChecked(!On);
        ABox->setToolTip((On ? QStringLiteral("自動起動の設定を書き込めませんでした: %1")
                             : QStringLiteral("自動起動の設定を削除できませんでした: %1"))
                             .arg(reason));
    });
}
