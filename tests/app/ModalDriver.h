#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal dialogs a command opens, one handler each, in order, and
// records their classes. Unexpected dialogs are rejected so nothing hangs;
// so only one driver may live at a time.
class ModalDriver : public QObject
{
public:
    using Handler = std::function<void(QWidget *)>;

    explicit ModalDriver(QList<Handler> handlers) : pending(std::move(handlers))
    {
        connect(&poll, &QTimer::timeout, this, &ModalDriver::check);
        poll.start(20);
    }

    QStringList seen;

    // Types the quoted file names into a (non-native) file dialog and accepts;
    // typing does not wait for the dialog's directory model.
    static Handler chooseFiles(const QStringList &paths)
    {
        return [paths](QWidget *w) {
            auto *edit = w->findChild<QLineEdit *>("fileNameEdit");
            if (!edit)
                return qobject_cast<QDialog *>(w)->reject();
            qobject_cast<QFileDialog *>(w)->setDirectory(QFileInfo(paths.first()).absolutePath());
            QStringList quoted;
            for (const QString &p : paths)
                quoted << '"' + QFileInfo(p).fileName() + '"';
            edit->clear();
            QTest::keyClicks(edit, quoted.join(' '));
            static_cast<QDialog *>(w)->accept(); // protected in QFileDialog
        };
    }

    // Answers the import dialog: output directory, quantity, then a button.
    static Handler answerImport(const QString &dir, int quantity, const char *button)
    {
        return [=](QWidget *d) {
            d->findChild<QLineEdit *>("lineEditDirPath")->setText(dir);
            d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(quantity);
            QTest::mouseClick(d->findChild<QPushButton *>(button), Qt::LeftButton);
        };
    }

    static Handler rejectDialog()
    {
        return [](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); };
    }

private:
    void check()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == last || !modal->isVisible())
            return;
        last = modal;
        seen << modal->metaObject()->className();
        const Handler h = pending.isEmpty() ? rejectDialog() : pending.takeFirst();
        QPointer<QWidget> target(modal);
        QTimer::singleShot(30, this, [target, h] { // let it finish showing
            if (target)
                h(target);
        });
    }

    QList<Handler> pending;
    QTimer poll;
    QPointer<QWidget> last;
};
