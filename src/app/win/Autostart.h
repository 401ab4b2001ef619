#pragma once

#include <QByteArray>
#include <QString>

class QCheckBox;
class TVeskLogger;

// Start at login through the desktop's autostart folder: enabling writes
// "ulmarox.desktop" there, disabling removes it. The folder is
// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that variable is
// unset or not an absolute path.
class TVeskAutostart
{
public:
    // AProgramPath: what the entry starts (default: this program's own file).
    // AFolder: the autostart folder (default: the user's, as above).
    explicit TVeskAutostart(QString AProgramPath = QString(), QString AFolder = QString());

    static QString DefaultFolder();
    QString EntryFileName() const;

    // True when the entry exists and the desktop has not switched it off
    // (Hidden=true, or X-GNOME-Autostart-enabled=false written by its session settings).
    bool IsEnabled() const;
    // Both answer false with a reason in AReason when the file cannot be written or removed.
    bool Enable(QString* AReason = nullptr) const;
    bool Disable(QString* AReason = nullptr) const;

    QByteArray EntryText() const;
    // The program as one argument of an Exec key: quoted when it has to be, "%" doubled.
    static QString ExecArgument(const QString& AProgramPath);

    // Shows the state on the check box and enables or disables on a click; a
    // failure puts the box back and gives the reason as its tool tip.
    static void Bind(QCheckBox* ABox, TVeskLogger* ALogger = nullptr);

private:
    QString FProgramPath;
    QString FFolder;
};
