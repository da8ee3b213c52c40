#pragma once

#include <QtTest>
#include <QtWidgets>

#include "Waits.h"

#include <algorithm>
#include <functional>
#include <memory>

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
    // A dialog answered earlier. While its handler runs it may open dialogs
    // of its own; when they close it is the active modal again, and is not
    // a new dialog then. If it stays open after that handler, it asks again
    // (a save dialog after "No" to replacing a file) and the next handler
    // answers.
    struct Answered
    {
        QPointer<QWidget> dialog;
        bool running = true;
        bool nested = false;
        QElapsedTimer since;
    };

    void check()
    {
        // A deleted dialog's pointer is null before another can take its
        // address; a closed one may be opened again and is new then.
        answered.erase(std::remove_if(answered.begin(), answered.end(),
                                      [](const std::shared_ptr<Answered> &a) {
                                          return !a->dialog || (!a->running && !a->dialog->isVisible());
                                      }),
                       answered.end());
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        for (const auto &a : answered) {
            if (a->dialog != modal)
                continue;
            if (a->running)
                return;
            if (a->nested) {
                const auto done = a; // a refers into the list
                answered.removeOne(done);
                break;
            }
            // Far beyond what closing takes on a busy machine.
            if (modal->isVisible() && a->since.elapsed() > Waits::Event) {
                problems << QStringLiteral("%1 \"%2\" still open after its handler ran")
                                .arg(modal->metaObject()->className(), modal->windowTitle());
                a->dialog = nullptr;
                qobject_cast<QDialog *>(modal)->reject();
            }
            return;
        }
        if (!modal->isVisible() || !modal->windowHandle() || !modal->windowHandle()->isExposed())
            return;
        seen << modal->metaObject()->className();
        if (pending.isEmpty())
            problems << QStringLiteral("unexpected %1 \"%2\"")
                            .arg(modal->metaObject()->className(), modal->windowTitle());
        const Handler h = pending.isEmpty() ? rejectDialog() : pending.takeFirst();
        for (const auto &a : answered)
            a->nested = a->nested || a->running;
        auto entry = std::make_shared<Answered>();
        entry->dialog = modal;
        answered << entry;
        // Not from this slot: a handler may open a dialog of its own and wait
        // in it, and a timer does not fire again inside its own slot.
        QTimer::singleShot(0, this, [entry, h] {
            if (entry->dialog)
                h(entry->dialog);
            entry->running = false;
            entry->since.start();
        });
    }

    QList<Handler> pending;
    QStringList problems;
    QTimer poll;
    QList<std::shared_ptr<Answered>> answered;
};
