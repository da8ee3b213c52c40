#include "ProgressDlg.h"
#include "ui_ProgressDlg.h"

#include "ActionClock.h"
#include "ActionLog.h"

ProgressDlg::ProgressDlg(QString text, QWidget *parent)
    : QDialog(parent),
      ui(new Ui::ProgressDlg),
      actionText(text),
      timer(this),
      clock(&ActionClock::system())
{
    ui->setupUi(this);
    connect(&timer, &QTimer::timeout, this, &ProgressDlg::sSetTimeEdit);
    ui->lineEdit->setText(actionText);
}

ProgressDlg::~ProgressDlg()
{
    delete ui;
}

void ProgressDlg::setActionText(QString text)
{
    actionText = text;
    ui->lineEdit->setText(actionText);
}

void ProgressDlg::startAction()
{
    ui->labelCompleted->setText(QString());
    ui->progressBar->setValue(ui->progressBar->minimum());
    actionStart = clock->currentTime();
    timer.start(1000);
}

void ProgressDlg::stopAction(const QString &text)
{
    if (!timer.isActive())
        return;
    sSetTimeEdit();
    timer.stop();
    ui->labelCompleted->setText(text);
}

void ProgressDlg::noteCompletion(const QString &remark)
{
    if (!timer.isActive())
        ui->labelCompleted->setText(ui->labelCompleted->text() + QLatin1Char(' ') + remark);
}

void ProgressDlg::setClock(const ActionClock *newClock)
{
    clock = newClock ? newClock : &ActionClock::system();
}

void ProgressDlg::progressBar(int valp)
{
    if (!timer.isActive())
        return;
    ui->progressBar->setValue(valp);
    if (valp == ui->progressBar->maximum()) {
        // The clock shows the whole action, not the last whole second ticked.
        sSetTimeEdit();
        timer.stop();
        ui->labelCompleted->setText(QStringLiteral("Dokonceno!"));
        writeLog();
    }
}

void ProgressDlg::sSetTimeEdit()
{
    // Whole seconds only: the milliseconds of the start are left in, as the
    // edit shows no milliseconds anyway.
    const int startSecs = actionStart.hour() * 3600 + actionStart.minute() * 60
            + actionStart.second();
    ui->timeEdit->setTime(clock->currentTime().addSecs(-startSecs));
}

void ProgressDlg::writeLog()
{
    // A log that cannot be written loses the line; the action still counts
    // as completed.
    // One reading of the clock, so the date and the elapsed time agree even
    // when the action ends on the stroke of midnight.
    const QDateTime now = clock->currentDateTime();
    ActionLog().append(ActionLog::line(now, actionText, actionStart, now.time()));
}
