#pragma once

#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QActionGroup>
#include <QMainWindow>

namespace Ui {
class WindowRZ;
}

class ProgressDlg;

// The main window: routes commands and file lists between the two map
// views, the conversion worker and its progress dialog.
class WindowRZ : public QMainWindow
{
    Q_OBJECT

public:
    explicit WindowRZ(QWidget *parent = nullptr);
    ~WindowRZ() override;

private slots:
    void onRepaintWdg();

protected slots:
    void switchViews(QAction *pact);
    void importHgtFiles();
    void openChgtFiles();

private:
    Ui::WindowRZ *ui;
    QActionGroup actionGroup;
    DrawQtWdg drawQtWdg;
    DrawGLWdg drawGLWdg;
    ConvertHgt convertHgt;
    ProgressDlg *progressDlg;
};
