#pragma once

#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QActionGroup>
#include <QMainWindow>

#include <optional>

namespace Ui {
class WindowRZ;
}

class ImportReport;
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

protected:
    bool event(QEvent *e) override;

private slots:
    void onRepaintWdg();
    void onConversionFinished();
    void onPointerAt(QPointF lonLat);

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

    Ui::WindowRZ *ui;
    QActionGroup actionGroup;
    DrawQtWdg drawQtWdg;
    DrawGLWdg drawGLWdg;
    ConvertHgt convertHgt;
    ProgressDlg *progressDlg;

    ImportReport *importReport = nullptr;
    QString viewMessage; // which view is shown, kept in the status bar
    QLabel *pointerLabel = nullptr; // where the pointer is, beside it
    // An import accepted while the worker was still ending the one before.
    std::optional<ImportRequest> pendingImport;
};
