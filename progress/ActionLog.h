#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>

// The action log: one tab-separated line per completed timed action
// (completion date and time, action text, elapsed time). The formatting is
// kept apart from the file so it can be checked without a dialog.
class ActionLog
{
public:
    explicit ActionLog(const QString &path = QStringLiteral("log.txt"));

    // "mm:ss.zzz" of the time from start to end; an end before the start
    // means midnight lay between them. Hours are not written.
    static QString elapsedText(const QTime &start, const QTime &end);
    static QString line(const QDateTime &completed, const QString &actionText,
                        const QTime &start, const QTime &end);

    // Appends one line in UTF-8. Returns false when the file cannot be
    // opened; the caller has nothing else to do about it.
    bool append(const QString &line) const;

private:
    QString filePath;
};
