#pragma once

#include <QString>

// The border outline is OpenStreetMap data under the ODbL 1.0, which asks
// for this credit wherever the outline is shown or a picture of it is
// passed on. The window's saved pictures and chgt2png's carry it under the
// same PNG text key, so one reader finds it in both.
namespace BorderCredit {

inline QString pngTextKey()
{
    return QStringLiteral("Copyright");
}

inline QString text()
{
    return QStringLiteral(u"Border: \u00a9 OpenStreetMap contributors, ODbL 1.0");
}

} // namespace BorderCredit
