#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
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
