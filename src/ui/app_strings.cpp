#include "ui/app_strings.h"

#include "ui/control_ids.h"

QString LoadAppString(int id)
{
    switch (id)
    {
    case kIdsAboutBox:
        return QStringLiteral("&About 3ds to Vantrel converter...");
    default:
        return QString();
    }
}
