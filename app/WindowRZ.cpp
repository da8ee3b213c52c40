#include "WindowRZ.h"
#include "ui_WindowRZ.h"

#include "ImportDlg.h"
#include "HeightColors.h"
#include "ImportReport.h"
#include "OpenTiles.h"
#include "PointerReadout.h"
#include "ProgressDlg.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>

namespace {

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

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
    statusBar()->addPermanentWidget(pointerLabel);
    connect(&drawQtWdg, &DrawQtWdg::sPointerLeft, pointerLabel, &QLabel::clear);
    connect(&drawGLWdg, &DrawGLWdg::sPointerLeft, pointerLabel, &QLabel::clear);
    connect(&drawQtWdg, &DrawQtWdg::sPointerAt, this, &WindowRZ::onPointerAt);
    connect(&drawGLWdg, &DrawGLWdg::sPointerAt, this, &WindowRZ::onPointerAt);

    importReport = new ImportReport(this);
    addDockWidget(Qt::BottomDockWidgetArea, importReport);
    importReport->hide();

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
                                                      tr("Výšková data (*.hgt);;Archivy výškových dat (*.zip)"));
    if (files.isEmpty())
        return;

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
    // before (or made otherwise) waits for that run instead of being lost.
    if (convertHgt.isRunning()) {
        pendingImport = request;
        return;
    }
    convertHgt.setParams(request.files, request.outputDir, request.quantity);
    ui->actionImportFiles->setEnabled(false);
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
    const QVector<ConvertHgt::FileOutcome> outcomes = convertHgt.outcomes();
    const int failed = importReport->showOutcomes(outcomes);
    if (failed > 0)
        progressDlg->noteCompletion(
            QStringLiteral("Nepřevedeno: %1 z %2").arg(failed).arg(outcomes.size()));
    ui->actionImportFiles->setEnabled(true);
    if (pendingImport) {
        const ImportRequest next = *pendingImport;
        pendingImport.reset();
        startConversion(next);
    }
}

void WindowRZ::openChgtFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Otevřít"), QDir::homePath(),
                                                            tr("Mapové podklady (*.chgt)"));
    if (files.isEmpty())
        return;
    // Reading blocks the window, as the wait cursor tells.
    const WaitCursor busy;
    OpenTiles::intoViews(files, drawQtWdg, drawGLWdg);
}
