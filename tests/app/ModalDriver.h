#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal dialogs a command opens, one handler per dialog, in the
// order they appear. Each handler gets the dialog found with
// QApplication::activeModalWidget(); the dialog classes seen are recorded.
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

    // Accepts a (non-native) file dialog with these files of one directory.
    // Typed names do not wait for the dialog's directory model to load.
    static Handler chooseFiles(const QStringList &paths)
    {
        // No QVERIFY in here: a check failing inside the dialog's exec()
        // would leave it open. A wrong dialog is rejected; callers check.
        return [paths](QWidget *w) {
            auto *fd = qobject_cast<QFileDialog *>(w);
            auto *edit = fd ? fd->findChild<QLineEdit *>("fileNameEdit") : nullptr;
            if (!edit) {
                if (auto *dlg = qobject_cast<QDialog *>(w))
                    dlg->reject();
                return;
            }
            fd->setDirectory(QFileInfo(paths.first()).absolutePath());
            QStringList quoted;
            for (const QString &p : paths)
                quoted << QLatin1Char('"') + QFileInfo(p).fileName() + QLatin1Char('"');
            edit->clear();
            QTest::keyClicks(edit, quoted.join(QLatin1Char(' ')));
            static_cast<QDialog *>(fd)->accept(); // protected in QFileDialog
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
        if (!modal || modal == last)
            return;
        if (!modal->isVisible())
            return;
        last = modal;
        seen << QString::fromLatin1(modal->metaObject()->className());
        if (pending.isEmpty()) {
            // Anything unexpected is dismissed so a test never hangs.
            if (auto *dlg = qobject_cast<QDialog *>(modal))
                dlg->reject();
            else
                modal->close();
            return;
        }
        Handler h = pending.takeFirst();
        // Let the dialog finish showing before it is driven.
        QPointer<QWidget> target(modal);
        QTimer::singleShot(30, this, [target, h] {
            if (target)
                h(target);
        });
    }

    QList<Handler> pending;
    QTimer poll;
    QPointer<QWidget> last;
};
