#include "ActionLog.h"

#include <QFile>
#include <QTextStream>

ActionLog::ActionLog(const QString &path)
    : filePath(path)
{
}

QString ActionLog::elapsedText(const QTime &start, const QTime &end)
{
    // addMSecs wraps into one day, so a negative span (across midnight)
    // still yields the true duration.
    return QTime(0, 0).addMSecs(start.msecsTo(end)).toString(QStringLiteral("mm:ss.zzz"));
}

QString ActionLog::line(const QDateTime &completed, const QString &actionText,
                        const QTime &start, const QTime &end)
{
    return completed.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) + QLatin1Char('\t')
            + actionText + QLatin1Char('\t') + elapsedText(start, end);
}

bool ActionLog::append(const QString &line) const
{
    QFile file(filePath);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << line << Qt::endl;
    return out.status() == QTextStream::Ok;
}
