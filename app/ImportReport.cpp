#include "ImportReport.h"

#include "HgtTile.h"

#include <QDir>
#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>

ImportReport::ImportReport(QWidget *parent)
    : QDockWidget(QStringLiteral("Nepřevedené soubory"), parent)
    , tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("dockImportReport"));
    tree->setObjectName(QStringLiteral("treeImportReport"));
    tree->setHeaderLabels({QStringLiteral("Soubor"), QStringLiteral("Důvod")});
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setWidget(tree);
}

QString ImportReport::reasonText(const ConvertHgt::FileOutcome &outcome)
{
    using Outcome = ConvertHgt::Outcome;
    const QString tile = QDir::toNativeSeparators(outcome.tile);
    const QLocale czech(QLocale::Czech);
    const QString size = QStringLiteral("%1 nebo %2")
                             .arg(czech.toString(HgtTile::FileSize), czech.toString(HgtTile::FineFileSize));
    switch (outcome.outcome) {
    case Outcome::Converted:
        return QString();
    case Outcome::WrongSizeEmptyWritten:
        return QStringLiteral("nemá velikost dlaždice HGT (%1 bajtů), zapsána prázdná dlaždice %2")
            .arg(size, tile);
    case Outcome::WrongSizeKept:
        return QStringLiteral("nemá velikost dlaždice HGT (%1 bajtů), dlaždice %2 zůstala beze změny")
            .arg(size, tile);
    case Outcome::Missing:
        return QStringLiteral("soubor neexistuje");
    case Outcome::NotTileName:
        return QStringLiteral("název neodpovídá dlaždici HGT (např. N49E014.hgt)");
    case Outcome::NoTilesInArchive:
        return QStringLiteral("archiv neobsahuje žádnou dlaždici HGT");
    case Outcome::Unreadable:
        return QStringLiteral("soubor nelze přečíst: %1").arg(outcome.failure.czech());
    case Outcome::Unwritable:
        return QStringLiteral("dlaždici %1 nelze zapsat: %2").arg(tile, outcome.failure.czech());
    case Outcome::RasterRefused:
        return QStringLiteral("rastr nelze převést: %1").arg(outcome.failure.czech());
    }
    return QString();
}

int ImportReport::showOutcomes(const QVector<ConvertHgt::FileOutcome> &outcomes,
                               const QStringList &notReached)
{
    tree->clear();
    for (const ConvertHgt::FileOutcome &outcome : outcomes) {
        if (outcome.outcome == ConvertHgt::Outcome::Converted)
            continue;
        auto *item = new QTreeWidgetItem(tree, {QDir::toNativeSeparators(outcome.path),
                                                reasonText(outcome)});
        item->setToolTip(1, item->text(1));
    }
    for (const QString &path : notReached)
        new QTreeWidgetItem(tree, {QDir::toNativeSeparators(path), QStringLiteral("přerušeno")});
    const int failed = tree->topLevelItemCount();
    const qsizetype total = outcomes.size() + notReached.size();
    setWindowTitle(failed ? QStringLiteral("Nepřevedené soubory (%1 z %2)").arg(failed).arg(total)
                          : QStringLiteral("Nepřevedené soubory"));
    setVisible(failed > 0);
    return failed;
}
