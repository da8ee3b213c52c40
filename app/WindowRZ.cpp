#include "WindowRZ.h"
#include "ui_WindowRZ.h"

#include "AboutDlg.h"
#include "FileDropFilter.h"
#include "FileRouting.h"
#include "FreedMemory.h"
#include "ImportDlg.h"
#include "HeightColors.h"
#include "ImportReport.h"
#include "LegendDock.h"
#include "MapPicture.h"
#include "OpenProgress.h"
#include "OpenTiles.h"
#include "PointerReadout.h"
#include "ProgressDlg.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <utility>

namespace {

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// How long a note stays in the status bar before the view message returns.
constexpr int NoteMs = 15000;

} // namespace

WindowRZ::WindowRZ(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::WindowRZ),
      actionGroup(this),
      drawQtWdg(this),
      drawGLWdg(nullptr),
      convertHgt(this), // a member: destroyed, and so unparented, before the window
      progressDlg(nullptr)
{
    ui->setupUi(this);
    convertHgt.setObjectName(QStringLiteral("convertHgt"));
    convertHgt.setJobs(QThread::idealThreadCount());
    progressDlg = new ProgressDlg(QStringLiteral("Window RZ"), this);

    actionGroup.addAction(ui->actionShowQtWdg);
    actionGroup.addAction(ui->actionShowGLWdg);

    connect(&actionGroup, &QActionGroup::triggered, this, &WindowRZ::switchViews);
    connect(ui->actionClose, &QAction::triggered, this, &WindowRZ::close);
    connect(ui->actionImportFiles, &QAction::triggered, this, &WindowRZ::importHgtFiles);
    connect(ui->actionOpenFiles, &QAction::triggered, this, &WindowRZ::openChgtFiles);
    connect(ui->actionBorder, &QAction::toggled, &drawQtWdg, &DrawQtWdg::viewBorder);
    connect(ui->actionBorder, &QAction::toggled, &drawGLWdg, &DrawGLWdg::viewBorder);
    connect(ui->actionRepaint, &QAction::triggered, this, &WindowRZ::onRepaintWdg);
    connect(&convertHgt, &ConvertHgt::sProgress, progressDlg, &ProgressDlg::progressBar);
    connect(ui->actionStopImport, &QAction::triggered, this, &WindowRZ::onStopConversion);
    connect(ui->actionSaveImage, &QAction::triggered, this, &WindowRZ::onSaveImage);
    connect(ui->actionAbout, &QAction::triggered, this, &WindowRZ::onAbout);
    // Home in either view takes the other one back to the start too.
    connect(&drawQtWdg, &DrawQtWdg::sStartExtentShown, &drawGLWdg, &DrawGLWdg::showStartExtent);
    connect(&drawGLWdg, &DrawGLWdg::sStartExtentShown, &drawQtWdg, &DrawQtWdg::showStartExtent);

    ui->stackedWidget->addWidget(&drawQtWdg);
    // A window holding an OpenGL widget cannot even be shown where there is
    // no OpenGL: the page then says so and the painter view still works.
    if (DrawGLWdg::isOpenGLAvailable()) {
        ui->stackedWidget->addWidget(&drawGLWdg);
    } else {
        auto *unavailable = new QLabel(
            QStringLiteral("OpenGL není v tomto systému k dispozici, zde mapu nelze zobrazit.\n"
                           "Mapu ukáže kreslení pomocí Qt: Zobrazit → Zobraz Qt."),
            ui->stackedWidget);
        unavailable->setObjectName(QStringLiteral("labelNoOpenGL"));
        unavailable->setAlignment(Qt::AlignCenter);
        unavailable->setWordWrap(true);
        ui->stackedWidget->addWidget(unavailable);
    }

    // A field of its own, so the view message is never replaced by it.
    pointerLabel = new QLabel(statusBar());
    pointerLabel->setObjectName(QStringLiteral("labelPointer"));
    pointerLabel->setAccessibleName(QStringLiteral("Poloha ukazatele"));
    pointerLabel->setAccessibleDescription(QStringLiteral(
        "Zeměpisná šířka a délka místa pod ukazatelem myši a výškové pásmo dlaždice v něm."));
    statusBar()->addPermanentWidget(pointerLabel);
    openProgress = new OpenProgress(statusBar());
    connect(&drawQtWdg, &DrawQtWdg::sPointerLeft, pointerLabel, &QLabel::clear);
    connect(&drawGLWdg, &DrawGLWdg::sPointerLeft, pointerLabel, &QLabel::clear);
    connect(&drawQtWdg, &DrawQtWdg::sPointerAt, this, &WindowRZ::onPointerAt);
    connect(&drawGLWdg, &DrawGLWdg::sPointerAt, this, &WindowRZ::onPointerAt);

    importReport = new ImportReport(this);
    addDockWidget(Qt::BottomDockWidgetArea, importReport);
    importReport->hide();

    legend = new LegendDock(this);
    addDockWidget(Qt::RightDockWidgetArea, legend);
    legend->hide();
    connect(ui->actionLegend, &QAction::toggled, legend, &QDockWidget::setVisible);
    // The dock's own toggle follows it being closed (its close button too)
    // or shown; visibilityChanged would also report it hidden behind
    // another dock's tab.
    connect(legend->toggleViewAction(), &QAction::toggled, ui->actionLegend, &QAction::setChecked);
    connect(&drawQtWdg, &DrawQtWdg::sPointerLeft, legend, &LegendDock::clearBand);
    connect(&drawGLWdg, &DrawGLWdg::sPointerLeft, legend, &LegendDock::clearBand);

    auto *drops = new FileDropFilter(this);
    connect(drops, &FileDropFilter::sFilesDropped, this, &WindowRZ::openPaths);
    // A note that timed out leaves the bar empty: the view message returns.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString &message) {
        if (message.isEmpty() && !viewMessage.isEmpty())
            statusBar()->showMessage(viewMessage, 0);
    });

    switchViews(ui->actionShowGLWdg);
    showMaximized();
}

WindowRZ::~WindowRZ()
{
    // A conversion still running stops after the tile in hand; the worker
    // must not be destroyed while its thread runs.
    convertHgt.requestInterruption();
    convertHgt.wait();

    delete ui;
    ui = nullptr;
    delete progressDlg;
    progressDlg = nullptr;
}

bool WindowRZ::event(QEvent *e)
{
    // Menus show the status tip of the item under the pointer and an empty
    // one when they close, which would wipe the view message for good.
    if (e->type() == QEvent::StatusTip && static_cast<QStatusTipEvent *>(e)->tip().isEmpty()) {
        statusBar()->showMessage(viewMessage, 0);
        return true;
    }
    return QMainWindow::event(e);
}

void WindowRZ::onPointerAt(QPointF lonLat)
{
    // Both views hold the same tiles; the painter view's index finds the
    // triangle, so both give the same answer for the same place.
    const QColor color = drawQtWdg.colorAt(lonLat);
    const int band = color.isValid() ? heightBandOfColor(color.red(), color.green(), color.blue()) : -1;
    pointerLabel->setText(PointerReadout::text(lonLat, band));
    legend->showBand(band);
}

void WindowRZ::onRepaintWdg()
{
    if (actionGroup.checkedAction() == ui->actionShowQtWdg)
        drawQtWdg.repaintQtWdg();
    else if (DrawGLWdg::isOpenGLAvailable())
        drawGLWdg.repaintGLWdg();
}

void WindowRZ::switchViews(QAction *pact)
{
    QStatusBar *bar = statusBar();
    if (pact == ui->actionShowQtWdg) {
        viewMessage = QStringLiteral("Zobrazeno kreslení pomocí Qt");
        bar->showMessage(viewMessage, 0);
        ui->stackedWidget->setCurrentIndex(0);
    } else if (pact == ui->actionShowGLWdg) {
        viewMessage = QStringLiteral("Zobrazeno kreslení pomocí OpenGL");
        bar->showMessage(viewMessage, 0);
        ui->stackedWidget->setCurrentIndex(1);
    }
}

void WindowRZ::importHgtFiles()
{
    QStringList files = QFileDialog::getOpenFileNames(this, tr("Vyberte soubory pro import"),
                                                      QDir::rootPath(),
                                                      tr("Výšková data (*.hgt);;Archivy výškových dat (*.zip);;"
                                                         "Rastrové výškové modely (*.tif *.tiff *.vrt *.asc *.img)"));
    if (files.isEmpty())
        return;
    offerImport(files);
}

void WindowRZ::offerImport(const QStringList &files)
{
    ImportDlg dlg(files, this);
    dlg.exec();
    if (!dlg.importRequested)
        return;

    ImportRequest request;
    dlg.getParams(request.files, request.outputDir, request.quantity);
    startConversion(request);
}

void WindowRZ::startConversion(const ImportRequest &request)
{
    // The worker must never get new parameters while it runs. "Import..."
    // stays disabled until a run has finished, but a request accepted just
    // before (or made otherwise: files dropped during a run) waits for that
    // run instead of being lost.
    // A run is under way until its end has been handled here, not only until
    // its thread stops: its last progress value and its end may still be on
    // their way, and a new run started before them would take the last value
    // as its own and lose its log line.
    if (conversionUnderway || convertHgt.isRunning()) {
        pendingImports.append(request);
        return;
    }
    conversionUnderway = true;
    convertHgt.setParams(request.files, request.outputDir, request.quantity);
    ui->actionImportFiles->setEnabled(false);
    ui->actionStopImport->setEnabled(true);
    connect(&convertHgt, &QThread::finished, this, &WindowRZ::onConversionFinished,
            Qt::SingleShotConnection);
    convertHgt.start(QThread::InheritPriority);
    progressDlg->setActionText(QStringLiteral("Konverze HGT souboru"));
    progressDlg->show();
    progressDlg->startAction();
}

void WindowRZ::onConversionFinished()
{
    // finished() comes just before the thread has really ended.
    convertHgt.wait();
    conversionUnderway = false;
    const QVector<ConvertHgt::FileOutcome> outcomes = convertHgt.outcomes();
    // Rasters among HGT files are handled last, as one mosaic, so what a
    // stopped run did not get to need not be the tail of its list.
    QStringList notReached = convertHgt.sourcesNotHandled();
    ui->actionImportFiles->setEnabled(true);
    ui->actionStopImport->setEnabled(false);
    if (!notReached.isEmpty()) {
        // Stopped: what it did not get to, and the imports that were
        // waiting for it, are not converted; the action did not complete.
        for (const ImportRequest &waiting : std::as_const(pendingImports))
            notReached += waiting.files;
        pendingImports.clear();
        importReport->showOutcomes(outcomes, notReached);
        progressDlg->stopAction(QStringLiteral("Přerušeno"));
        return;
    }
    const int failed = importReport->showOutcomes(outcomes);
    if (failed > 0)
        progressDlg->noteCompletion(
            QStringLiteral("Nepřevedeno: %1 z %2").arg(failed).arg(outcomes.size()));
    if (!pendingImports.isEmpty())
        startConversion(pendingImports.takeFirst());
}

void WindowRZ::onStopConversion()
{
    // The worker ends after the tiles in hand, each written whole.
    if (convertHgt.isRunning())
        convertHgt.requestInterruption();
}

void WindowRZ::openChgtFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Otevřít"), QDir::homePath(),
                                                            tr("Mapové podklady (*.chgt)"));
    if (files.isEmpty())
        return;
    openTiles(files);
}

void WindowRZ::openTiles(const QStringList &files)
{
    // An open asked for while one waits for its files (files dropped just
    // before it began) follows it, so tiles lie in the order asked for.
    if (openUnderway) {
        waitingOpens += files;
        return;
    }
    // Reading blocks the window, as the wait cursor tells; a long open
    // shows how far it has got, and the window still repaints.
    openUnderway = true;
    const WaitCursor busy;
    for (QStringList next = files; !next.isEmpty(); next = std::exchange(waitingOpens, {}))
        OpenTiles::intoViews(next, drawQtWdg, drawGLWdg, openProgress);
    openProgress->finish();
    openUnderway = false;
    // What the open and the pictures drawn after it freed in passing would
    // stay with the allocator; it goes back once the window has settled.
    QTimer::singleShot(HandBackAfterMs, this, &FreedMemory::handBack);
}

void WindowRZ::openPaths(const QStringList &paths)
{
    const FileRouting route = FileRouting::of(paths);
    if (!route.unknown.isEmpty()) {
        QStringList names;
        for (const QString &path : route.unknown)
            names << QFileInfo(path).fileName();
        showNote(QStringLiteral("Tyto soubory rzmap neotevře (čte dlaždice CHGT, HGT a archivy zip): %1")
                     .arg(names.join(QStringLiteral(", "))));
    }
    if (!route.tiles.isEmpty())
        openTiles(route.tiles);
    if (!route.sources.isEmpty())
        offerImport(route.sources);
}

void WindowRZ::showNote(const QString &text)
{
    statusBar()->showMessage(text, NoteMs);
}

void WindowRZ::onSaveImage()
{
    // The picture as the visible view shows it now, in its own pixels.
    QWidget *page = ui->stackedWidget->currentWidget();
    QImage picture;
    if (page == &drawGLWdg)
        picture = drawGLWdg.grabFramebuffer();
    else if (page)
        picture = page->grab().toImage();
    const bool withBorder = page == &drawQtWdg || page == &drawGLWdg ? ui->actionBorder->isChecked()
                                                                     : false;

    // The window the picture shows, for a GeoTIFF: the painter's as it
    // draws it (whole hundredths of a degree), the OpenGL view's own.
    GeoTiff::Window window;
    if (page == &drawGLWdg) {
        const ViewExtent e = DrawGLWdg::viewExtent();
        window = GeoTiff::Window{e.left, e.right, e.bottom, e.top};
    } else {
        const QRect r = ViewExtentMath::windowRect(DrawQtWdg::viewExtent());
        window = GeoTiff::ofPainterWindow(r.left(), r.top(), r.width(), r.height());
    }

    const QString pngFilter = tr("Obrázky PNG (*.png)");
    const QString tiffFilter = tr("Obrázky GeoTIFF (*.tif)");
    QFileDialog dialog(this, tr("Uložit obrázek"), QDir::homePath(),
                       pngFilter + QStringLiteral(";;") + tiffFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, tiffFilter](const QString &f) {
        dialog.setDefaultSuffix(f == tiffFilter ? QStringLiteral("tif") : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();

    // The name decides the kind; the filter only gives a bare name its suffix.
    const QByteArray bytes = GeoTiff::isGeoTiffPath(path)
                                 ? MapPicture::geoTiff(picture, window, withBorder)
                                 : MapPicture::png(picture, withBorder);
    const FileFailure failure = bytes.isEmpty() ? FileFailure::of(FileFailure::OutOfMemory)
                                                : MapPicture::write(path, bytes);
    if (failure.isFailure())
        showNote(QStringLiteral("Obrázek %1 nelze uložit: %2")
                     .arg(QDir::toNativeSeparators(path), failure.czech()));
    else
        showNote(QStringLiteral("Obrázek uložen: %1").arg(QDir::toNativeSeparators(path)));
}

void WindowRZ::onAbout()
{
    AboutDlg about(this);
    about.exec();
}
