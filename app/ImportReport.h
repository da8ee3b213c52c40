#pragma once

#include "ConvertHgt.h"

#include <QDockWidget>
#include <QString>
#include <QStringList>
#include <QVector>

class QTreeWidget;

// The window's report on the files of a conversion that did not give a full
// tile, each with its reason. It is a dock rather than a message box, so a
// failed import is shown without interrupting the user.
class ImportReport : public QDockWidget
{
    Q_OBJECT

public:
    explicit ImportReport(QWidget *parent = nullptr);

    // Lists the files that did not give a full tile, then those a stopped
    // conversion did not get to ("přerušeno"), and shows the report, or
    // hides it when every file was converted. Returns the number listed.
    int showOutcomes(const QVector<ConvertHgt::FileOutcome> &outcomes,
                     const QStringList &notReached = QStringList());

    // Why a file gave no full tile, in Czech; empty for a converted file.
    static QString reasonText(const ConvertHgt::FileOutcome &outcome);

    QTreeWidget *list() const { return tree; }

private:
    QTreeWidget *tree;
};
