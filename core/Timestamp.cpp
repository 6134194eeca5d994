#include "core/Timestamp.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// The locale's long time format, less the time zone ("t"), which the general form leaves out.
QString timeWithSeconds(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.replace(zone, QStringLiteral(" "));
    format = format.trimmed();
    if (!format.contains(QLatin1Char('s')))
        format = QStringLiteral("HH:mm:ss");
    return format;
}

} // namespace

QString generalDateTime(const QDateTime &moment)
{
    const QLocale locale = QLocale::system();
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(moment.time(), timeWithSeconds(locale));
}
