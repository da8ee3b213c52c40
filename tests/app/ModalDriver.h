#pragma once

#include <QtTest>
#include <QtWidgets>

#include "Waits.h"

#include <functional>

// Answers the modal dialogs a command opens, one handler each, in order, and
// records their classes. A handler runs once its dialog is exposed. A dialog
// still open long after its handler ran, and any dialog nobody expected, is
// rejected so nothing hangs; either fails the test when the driver goes.
// Only one driver may live at a time.
class ModalDriver : public QObject
{
public:
    using Handler = std::function<void(QWidget *)>;

    explicit ModalDriver(QList<Handler> handlers) : pending(std::move(handlers))
    {
        connect(&poll, &QTimer::timeout, this, &ModalDriver::check);
        poll.start(20);
    }

    ~ModalDriver() override
    {
        if (!problems.isEmpty())
            QTest::qFail(qPrintable(problems.join("; ")), __FILE__, __LINE__);
    }

    QStringList seen;

    // Names the files in a (non-native) file dialog, or the one directory
    // in a directory chooser, and accepts. The names go in as one edit, not
    // typed key by key: typing opens the completer's popup, which outlives
    // the dialog and then swallows the next clicks.
    static Handler chooseFiles(const QStringList &paths)
    {
        return [paths](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            auto *edit = w->findChild<QLineEdit *>("fileNameEdit");
            if (!dialog || !edit)
                return qobject_cast<QDialog *>(w)->reject();
            dialog->setDirectory(QFileInfo(paths.first()).absolutePath());
            QStringList quoted;
            for (const QString &p : paths)
                quoted << '"' + QFileInfo(p).fileName() + '"';
            const bool directory = dialog->fileMode() == QFileDialog::Directory;
            edit->setText(directory ? QFileInfo(paths.first()).absoluteFilePath() : quoted.join(' '));
            // Typing selects the names the views list, and a selection wins
            // over what was typed: once the folder is listed, names the
            // filter hides would drop out. The typed names are what counts.
            for (auto *view : w->findChildren<QAbstractItemView *>())
                view->clearSelection();
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
        if (modal && modal == answered && modal->isVisible()) {
            // Far beyond what closing takes on a busy machine.
            if (sinceAnswer.elapsed() > Waits::Event) {
                problems << QStringLiteral("%1 \"%2\" still open after its handler ran")
                                .arg(modal->metaObject()->className(), modal->windowTitle());
                answered = nullptr;
                qobject_cast<QDialog *>(modal)->reject();
            }
            return;
        }
        if (!modal || modal == answered || !modal->isVisible() || !modal->windowHandle()
            || !modal->windowHandle()->isExposed())
            return;
        seen << modal->metaObject()->className();
        if (pending.isEmpty())
            problems << QStringLiteral("unexpected %1 \"%2\"")
                            .arg(modal->metaObject()->className(), modal->windowTitle());
        const Handler h = pending.isEmpty() ? rejectDialog() : pending.takeFirst();
        answered = modal;
        sinceAnswer.start();
        // Not from this slot: a handler may open a dialog of its own and wait
        // in it, and a timer does not fire again inside its own slot.
        QPointer<QWidget> target(modal);
        QTimer::singleShot(0, this, [this, target, h] {
            if (!target)
                return;
            h(target);
            sinceAnswer.start();
        });
    }

    QList<Handler> pending;
    QStringList problems;
    QTimer poll;
    QPointer<QWidget> answered;
    QElapsedTimer sinceAnswer;
};
