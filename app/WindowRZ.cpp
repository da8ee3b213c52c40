#include "WindowRZ.h"
#include "ui_WindowRZ.h"

#include "ImportDlg.h"
#include "ProgressDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QStatusBar>

WindowRZ::WindowRZ(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::WindowRZ),
      actionGroup(this),
      drawQtWdg(this),
      drawGLWdg(nullptr),
      convertHgt(nullptr),
      progressDlg(nullptr)
{
    ui->setupUi(this);
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
    ui->stackedWidget->addWidget(&drawGLWdg);

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

void WindowRZ::onRepaintWdg()
{
    if (actionGroup.checkedAction() == ui->actionShowQtWdg)
        drawQtWdg.repaintQtWdg();
    else
        drawGLWdg.repaintGLWdg();
}

void WindowRZ::switchViews(QAction *pact)
{
    QStatusBar *bar = statusBar();
    if (pact == ui->actionShowQtWdg) {
        bar->showMessage(QStringLiteral("Zobrazeno kreslení pomocí Qt"), 0);
        ui->stackedWidget->setCurrentIndex(0);
    } else if (pact == ui->actionShowGLWdg) {
        bar->showMessage(QStringLiteral("Zobrazeno kreslení pomocí OpenGL"), 0);
        ui->stackedWidget->setCurrentIndex(1);
    }
}

void WindowRZ::importHgtFiles()
{
    QStringList files = QFileDialog::getOpenFileNames(this, tr("Vyberte soubory pro import"),
                                                      QDir::rootPath(),
                                                      tr("Výšková data (*.hgt)"));
    if (files.isEmpty())
        return;

    ImportDlg dlg(files, this);
    dlg.exec();
    if (!dlg.importRequested)
        return;
    // The command is disabled while a conversion runs, but a dialog opened
    // just before may still be answered late: never touch a running worker.
    if (convertHgt.isRunning())
        return;

    QString dstA;
    int q = 0;
    dlg.getParams(files, dstA, q);
    convertHgt.setParams(files, dstA, q);
    // The worker must never get new parameters while it runs: "Import..."
    // stays disabled until this run's thread has finished.
    ui->actionImportFiles->setEnabled(false);
    connect(&convertHgt, &QThread::finished, this,
            [this] { ui->actionImportFiles->setEnabled(true); }, Qt::SingleShotConnection);
    convertHgt.start(QThread::InheritPriority);
    progressDlg->setActionText(QStringLiteral("Konverze HGT souboru"));
    progressDlg->show();
    progressDlg->startAction();
}

void WindowRZ::openChgtFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Otevřít"), QDir::homePath(),
                                                            tr("Mapové podklady (*.chgt)"));
    if (files.isEmpty())
        return;
    drawQtWdg.createHeightsBuffer(files);
    drawGLWdg.createHeightsGenBuffer(files);
}
