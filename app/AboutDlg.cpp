#include "AboutDlg.h"
#include "ui_AboutDlg.h"

AboutDlg::AboutDlg(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::AboutDlg)
{
    ui->setupUi(this);
    ui->labelVersion->setText(ui->labelVersion->text().arg(QStringLiteral(RZMAP_VERSION)));
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &AboutDlg::accept);
}

AboutDlg::~AboutDlg()
{
    delete ui;
}
