#pragma once

#include <QTranslator>

// Czech for the few texts of Qt that the program shows and Qt's own Czech
// catalogue (Qt 6.4) lacks: the type of a folder in the file dialogs and
// the lines of the help options. Installed after that catalogue, so it is
// asked first; every other text it leaves to the catalogue.
class QtCzechGaps : public QTranslator
{
    Q_OBJECT

public:
    explicit QtCzechGaps(QObject *parent = nullptr);

    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }
};
