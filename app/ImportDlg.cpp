#include "ImportDlg.h"
#include "ui_ImportDlg.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

ImportDlg::ImportDlg(QStringList files, QWidget *parent)
    : QDialog(parent),
      importRequested(false),
      ui(new Ui::ImportDlg),
      srcFiles(files)
{
    ui->setupUi(this);
    ui->listWidgetFiles->addItems(srcFiles);
    ui->lineEditDirPath->setText(QDir::homePath() + QStringLiteral("/RZOutput"));

    connect(ui->pushButtonStorno, &QPushButton::clicked, this, &ImportDlg::close);
    connect(ui->pushButtonBrowse, &QPushButton::clicked, this, &ImportDlg::onChooseDirectory);
    connect(ui->pushButtonImport, &QPushButton::clicked, this, &ImportDlg::onImportFiles);
}

ImportDlg::~ImportDlg()
{
    delete ui;
}

void ImportDlg::getParams(QStringList &srcS, QString &dstA, int &q)
{
    srcS = srcFiles;
    dstA = ui->lineEditDirPath->text();
    q = ui->horizontalSliderQuantity->value();
    importRequested = false;
}

void ImportDlg::onChooseDirectory()
{
    const QString dir = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Vyberte adresář"), QDir::rootPath(), QFileDialog::ShowDirsOnly);
    // A cancelled chooser returns an empty path; keep what is there.
    if (QFile::exists(dir))
        ui->lineEditDirPath->setText(dir);
}

void ImportDlg::onImportFiles()
{
    importRequested = true;
    close();
}
