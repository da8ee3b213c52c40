#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class ImportDlg;
}

// Shows the chosen HGT files and asks for the output directory and the
// height quantity (1 = every height .. 5 = every fifth).
class ImportDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ImportDlg(QStringList files, QWidget *parent = nullptr);
    ~ImportDlg() override;

    // Hands back the files, the directory text as typed and the quantity,
    // and clears the import request.
    void getParams(QStringList &srcS, QString &dstA, int &q);

    // Set by "Import" only; closing the dialog any other way leaves it false.
    bool importRequested;

private slots:
    void onChooseDirectory();
    void onImportFiles();

private:
    Ui::ImportDlg *ui;
    QStringList srcFiles;
};
