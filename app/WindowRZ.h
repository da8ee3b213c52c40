#pragma once

#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QActionGroup>
#include <QList>
#include <QMainWindow>

namespace Ui {
class WindowRZ;
}

class ImportReport;
class LegendDock;
class OpenProgress;
class QLabel;
class ProgressDlg;

// The main window: routes commands and file lists between the two map
// views, the conversion worker and its progress dialog.
class WindowRZ : public QMainWindow
{
    Q_OBJECT

public:
    explicit WindowRZ(QWidget *parent = nullptr);
    ~WindowRZ() override;

    // Files from outside the window (the command line, a drop): CHGT tiles
    // open in both views as "Otevřít..." opens them, HGT tiles and zip
    // archives go to the import dialog; other files are named in the
    // status bar.
    void openPaths(const QStringList &paths);

    // How long after an open the memory it freed in passing goes back to
    // the system: the pictures that follow the open are drawn by then.
    static constexpr int HandBackAfterMs = 500;

protected:
    bool event(QEvent *e) override;

private slots:
    void onRepaintWdg();
    void onConversionFinished();
    void onPointerAt(QPointF lonLat);
    void onStopConversion();
    void onSaveImage();
    void onAbout();

protected slots:
    void switchViews(QAction *pact);
    void importHgtFiles();
    void openChgtFiles();

private:
    struct ImportRequest
    {
        QStringList files;
        QString outputDir;
        int quantity;
    };
    void startConversion(const ImportRequest &request);
    void openTiles(const QStringList &files);
    void offerImport(const QStringList &files);
    // A message that gives way to the view message again after a while.
    void showNote(const QString &text);

    Ui::WindowRZ *ui;
    QActionGroup actionGroup;
    DrawQtWdg drawQtWdg;
    DrawGLWdg drawGLWdg;
    ConvertHgt convertHgt;
    ProgressDlg *progressDlg;

    ImportReport *importReport = nullptr;
    LegendDock *legend = nullptr; // hidden until asked for
    QString viewMessage; // which view is shown, kept in the status bar
    QLabel *pointerLabel = nullptr; // where the pointer is, beside it
    OpenProgress *openProgress = nullptr; // an open's bar in the status bar
    bool openUnderway = false;
    QStringList waitingOpens; // asked for during an open, opened after it
    // Imports accepted while the worker was still busy, in order.
    QList<ImportRequest> pendingImports;
    bool conversionUnderway = false; // started and its end not yet handled
    // The files of the conversion running, to name those a stop leaves out.
};
