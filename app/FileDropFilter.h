#pragma once

#include <QObject>
#include <QStringList>

class QMimeData;
class QWidget;

// Takes files dropped anywhere on a window, as an event filter, so the
// window itself keeps its own event handlers. A drag is accepted when it
// carries at least one local file the window can open or import.
class FileDropFilter : public QObject
{
    Q_OBJECT

public:
    // Watches target (and makes it accept drops) for as long as both live.
    explicit FileDropFilter(QWidget *target);

    // The local files a drag carries, in its order.
    static QStringList localFiles(const QMimeData *data);

signals:
    // Files dropped; sent after the drop has been answered, so whoever
    // opens a dialog for them does not hold up the program they came from.
    void sFilesDropped(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
