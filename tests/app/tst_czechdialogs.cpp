#include "TestRegistry.h"
#include "ModalDriver.h"

#include "CzechQtTexts.h"
#include "ImportDlg.h"
#include "QtCzechGaps.h"
#include "WindowRZ.h"

#include <memory>

namespace {

// Records every text Qt asks to translate and answers none of them, so the
// translators installed before it give the answers. Installed last, it is
// asked first.
class TextSpy : public QTranslator
{
public:
    struct Asked { QByteArray context, source, disambiguation; };
    QString translate(const char *context, const char *source, const char *disambiguation, int) const override
    {
        asked.append({context, source, disambiguation});
        return QString();
    }
    bool isEmpty() const override { return false; }
    mutable QList<Asked> asked;
};

// Texts of a file dialog as the user sees them, in the folder dir, which
// holds the folder "mapy": labels, buttons, column heads, tool tips, and
// the type shown for that folder.
QStringList fileDialogTexts(QWidget *d, const QString &dir)
{
    QStringList t;
    qobject_cast<QFileDialog *>(d)->setDirectory(dir);
    for (const char *name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
        t << d->findChild<QLabel *>(name)->text();
    for (QAbstractButton *b : d->findChild<QDialogButtonBox *>("buttonBox")->buttons())
        t << b->text();
    for (const char *name : {"backButton", "forwardButton", "toParentButton", "newFolderButton", "listModeButton",
                             "detailModeButton"})
        t << d->findChild<QToolButton *>(name)->toolTip();
    auto *tree = d->findChild<QTreeView *>("treeView");
    QAbstractItemModel *model = tree->model();
    for (int column = 0; column < 4; ++column)
        t << model->headerData(column, Qt::Horizontal).toString();
    // The folder's rows come from a thread of the file system model.
    const auto folderType = [&] {
        const QModelIndexList found = model->match(model->index(0, 0, tree->rootIndex()), Qt::DisplayRole, "mapy");
        return found.isEmpty() ? QString() : found[0].siblingAtColumn(2).data().toString();
    };
    return t << (QTest::qWaitFor([&] { return !folderType().isEmpty(); }, Waits::Event) ? folderType() : QString());
}

} // namespace

// Qt's own texts of every dialog the program opens are Czech, whatever
// the system's language (CTest runs this with LANG=C too: app_czech_dialogs).
class CzechDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        czech = std::make_unique<CzechQtTexts>();
        QVERIFY2(czech->catalogueLoaded(), "qtbase_cs.qm from qt6-translations-l10n is missing");
        spy = std::make_unique<TextSpy>();
        QCoreApplication::installTranslator(spy.get());
    }

    // Each text Qt asked for was answered in Czech, by Qt's catalogue or,
    // where it has none, by the program's own.
    void cleanupTestCase()
    {
        QTranslator catalogue;
        QVERIFY(catalogue.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        const QtCzechGaps gaps;
        QSet<QString> missing;
        for (const TextSpy::Asked &a : std::as_const(spy->asked)) {
            // Qt's classes; the program's own texts are Czech in the source.
            if (!a.context.startsWith('Q') || a.context.size() < 2 || !QChar(a.context[1]).isUpper())
                continue;
            // Names of every key Qt knows, looked up when a shortcut is
            // written out; the program shows none of the missing ones.
            if (a.context == "QShortcut")
                continue;
            const char *dis = a.disambiguation.isNull() ? nullptr : a.disambiguation.constData();
            if (catalogue.translate(a.context, a.source, dis).isEmpty()
                && gaps.translate(a.context, a.source, dis).isEmpty())
                missing << QString::fromUtf8(a.context + " / " + a.source);
        }
        spy.reset();
        czech.reset();
        QVERIFY2(missing.isEmpty(), qPrintable(QStringList(missing.values()).join("; ")));
    }

    // "Import...": the open dialog's labels, buttons, column heads, tool
    // tips and the type of a folder; the chooser behind "Procházet...";
    // then "Uložit obrázek...".
    void dialogs()
    {
        QTemporaryDir folders;
        QFile old(folders.filePath("mapa.png"));
        QVERIFY(QDir(folders.path()).mkdir("mapy") && old.open(QIODevice::WriteOnly));
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList open, filters;
        {
            ModalDriver driver({[&](QWidget *d) {
                open = fileDialogTexts(d, folders.path());
                filters = qobject_cast<QFileDialog *>(d)->nameFilters() << qobject_cast<QFileDialog *>(d)->selectedNameFilter();
                qobject_cast<QDialog *>(d)->reject();
            }});
            w.findChild<QAction *>("actionImportFiles")->trigger();
        }
        QCOMPARE(open, (QStringList{"Hledat v:", "Název &souboru:", "Soubory typu:", "&Otevřít", "Zrušit", "Zpět",
                                    "Dopředu", "Nadřazený adresář", "Vytvořit novou složku", "Pohled se seznamem",
                                    "Podrobný pohled", "Název", "Velikost", "Typ", "Datum změny", "Složka"}));
        // Tiles first, archives as a second choice; the tiles chosen.
        QCOMPARE(filters, (QStringList{"Výšková data (*.hgt)", "Archivy výškových dat (*.zip)",
                                       "Rastrové výškové modely (*.tif *.tiff *.vrt *.asc *.img)", "Výšková data (*.hgt)"}));

        ImportDlg dlg(QStringList{"/nowhere/N49E014.hgt"});
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QStringList chooser; // its label, then its buttons
        {
            ModalDriver driver({[&](QWidget *d) {
                chooser << d->findChild<QLabel *>("fileNameLabel")->text();
                for (QAbstractButton *b : d->findChild<QDialogButtonBox *>("buttonBox")->buttons())
                    chooser << b->text();
                qobject_cast<QDialog *>(d)->reject();
            }});
            QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonBrowse"), Qt::LeftButton);
        }
        QCOMPARE(chooser, QStringList({"Adresář:", "&Vybrat", "Zrušit"}));

        // The context menu of a text field: its texts are among those checked at the end.
        std::unique_ptr<QMenu> menu(dlg.findChild<QLineEdit *>("lineEditDirPath")->createStandardContextMenu());

        // "Uložit obrázek...": the save dialog and its question before a
        // file is replaced.
        QStringList save;
        QString question;
        {
            ModalDriver driver({[&](QWidget *d) {
                qobject_cast<QFileDialog *>(d)->setDirectory(folders.path());
                // The rest of its texts are the open dialog's.
                for (QAbstractButton *b : d->findChild<QDialogButtonBox *>("buttonBox")->buttons())
                    save << b->text();
                d->findChild<QLineEdit *>("fileNameEdit")->setText("mapa.png");
                static_cast<QDialog *>(d)->accept();
            }, [&](QWidget *d) {
                auto *box = qobject_cast<QMessageBox *>(d);
                question = box->text();
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            }, ModalDriver::rejectDialog()});
            w.findChild<QAction *>("actionSaveImage")->trigger();
            QCOMPARE(driver.seen, QStringList({"QFileDialog", "QMessageBox", "QFileDialog"}));
        }
        QCOMPARE(save, QStringList({"&Uložit", "Zrušit"}));
        QCOMPARE(question, QString("Soubor mapa.png již existuje.\nChcete jej nahradit?"));

        // Without Qt's catalogue the program runs on and says so.
        QTemporaryDir empty;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("qtbase_cs\\.qm"));
        const CzechQtTexts without(empty.path());
        QVERIFY(!without.catalogueLoaded());
        // The program's own Czech for Qt's texts still answers.
        QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"),
                 QString("Složka"));
    }

private:
    std::unique_ptr<CzechQtTexts> czech;
    std::unique_ptr<TextSpy> spy;
};

RZ_REGISTER_TEST(CzechDialogsTest);
#include "tst_czechdialogs.moc"
