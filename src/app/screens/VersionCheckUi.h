#pragma once

#include "net/VeskVersionChecker.h"

#include <QString>

class QAbstractButton;
class QWidget;
class TVeskLogger;

// The two ways the program checks for a newer release. Both return at once; the
// checker they return (for a test to watch) deletes itself after its outcome.
// Without an address (the setting VersionCheckUrl is empty, as in a build that
// names no server) there is no check: nothing at start-up, and the button says why.
namespace VersionCheckUi {

// At start-up: logs the check and its outcome; a higher published version opens
// the self-closing notice (owned by AOwner) for NoticeSeconds; anything else shows nothing.
constexpr int NoticeSeconds = 20;
TVeskVersionChecker* StartStartupCheck(const QString& AServer, TVeskLogger* ALogger, QWidget* AOwner,
                                       const QString& ARunningVersion = VeskProgramVersion(),
                                       int ATimeoutMs = TVeskVersionChecker::DefaultTimeoutMs);

// From the home screen's button: the published version, higher or not, in an
// information box, or an error box when it cannot be read. AButton (optional)
// is disabled while the check runs, so a second press cannot start a second one.
TVeskVersionChecker* StartButtonCheck(const QString& AServer, TVeskLogger* ALogger, QWidget* AParent,
                                      QAbstractButton* AButton = nullptr,
                                      int ATimeoutMs = TVeskVersionChecker::DefaultTimeoutMs);

// The button's box when no address is set.
QString NoAddressMessage();

// The texts of the notice and of the two boxes.
QString NoticeComment1(const TVeskVersionChecker& AChecker);
QString NoticeComment2(const TVeskVersionChecker& AChecker);
QString PublishedVersionMessage(const TVeskVersionChecker& AChecker);
QString CheckFailedMessage();

} // namespace VersionCheckUi
