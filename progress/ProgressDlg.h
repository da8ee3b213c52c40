#pragma once

#include <QDialog>
#include <QString>
#include <QTime>
#include <QTimer>

#include <memory>

namespace Ui {
class ProgressDlg;
}

class ActionClock;

// Times one action at a time: action text, progress bar, elapsed time and a
// completion text. Completion (progress 100 while timing) appends one line
// to the action log "log.txt".
class ProgressDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressDlg(QString text, QWidget *parent = nullptr);
    ~ProgressDlg() override;

    void setActionText(QString text);
    void startAction();

    // Tests replace the clock to place an action across midnight; the dialog
    // does not own it. nullptr restores the system clock.
    void setClock(const ActionClock *clock);

    // Ends the action without completing it (a stopped conversion): the
    // clock stops at the time reached, the bar stays where it is, text
    // replaces the completion text and the log gets no line. Nothing
    // happens while no action is timed.
    void stopAction(const QString &text);

    // Adds a remark after the completion text of the finished action, so
    // the dialog does not look like plain success when something failed.
    void noteCompletion(const QString &remark);

    QString currentActionText() const { return actionText; }
    bool isTiming() const { return timer.isActive(); }

public slots:
    void progressBar(int valp);

private slots:
    void sSetTimeEdit();

private:
    void writeLog();

    Ui::ProgressDlg *ui;
    QString actionText;
    QTimer timer;
    QTime actionStart;
    const ActionClock *clock;
};
