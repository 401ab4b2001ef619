#pragma once

#include <QString>
#include <QStringView>

// JMA's areas of early warnings and intensity reports: the three-digit codes of a
// code-format telegram's EBI block and JMA's names, which both JSON feeds write.
// Empty when the name or the code is not one of JMA's.
QString EqBridgeAreaCode(QStringView AName);
QString EqBridgeAreaName(QStringView ACode);
