#pragma once

#include <QDialog>

namespace Ui {
class AboutDlg;
}

// "O programu": the version, the licence and the credit the border's data
// asks for.
class AboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDlg(QWidget *parent = nullptr);
    ~AboutDlg() override;

private:
    Ui::AboutDlg *ui;
};
