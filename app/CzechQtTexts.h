#pragma once

#include "QtCzechGaps.h"

#include <QString>
#include <QTranslator>

// Qt's own texts in Czech, whatever the system's language: the file
// dialogs, the standard buttons, the text fields' context menus and the
// command line's help, beside the program's texts, which are Czech in the
// source. Installed into the application for the object's life. The
// default locale is left alone, so dates, sizes and times keep the user's
// conventions.
class CzechQtTexts
{
public:
    // Qt's catalogue "qtbase_cs" from dir, by default Qt's translations
    // directory. Without it the program still runs: Qt's texts stay
    // English, which is said once on standard error.
    explicit CzechQtTexts(const QString &dir = QString());

    CzechQtTexts(const CzechQtTexts &) = delete;
    CzechQtTexts &operator=(const CzechQtTexts &) = delete;

    bool catalogueLoaded() const { return loaded; }

private:
    QTranslator catalogue;
    QtCzechGaps gaps;
    bool loaded = false;
};
