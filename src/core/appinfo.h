// The names the program goes by: the settings key's organisation and
// application, and the start of every window title.
#pragma once

#include <QString>

inline QString OrganizationName()
{
    return QStringLiteral("Kestrix");
}

inline QString ApplicationName()
{
    return QStringLiteral("Quavette");
}
