#pragma once

// desktop.ini files as the tests write them.

#include "test_support.h"

#include <QString>

namespace tessaro::test {

inline const QString Section = QStringLiteral("[{BE098140-A513-11D0-A3A4-00C04FD706EC}]");

// The three lines apply writes into a folder without a desktop.ini.
inline QString linesText(const QString& image, const QString& colour = QStringLiteral("0x000000FF"))
{
    return Section + QStringLiteral("\r\niconarea_image=%1\r\niconarea_text=%2\r\n").arg(image, colour);
}

// The same in bytes, as the file holds them.
inline QByteArray lines(const QString& image, const QString& colour = QStringLiteral("0x000000FF"))
{
    return linesText(image, colour).toLatin1();
}

} // namespace tessaro::test
