#include "i18n/uFormat.h"

QString FormatEntry(const QString& format, const QVariantList& args)
{
    QString out;
    out.reserve(format.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar conversion = format.at(i + 1);
        if (conversion == QLatin1Char('d') || conversion == QLatin1Char('s')) {
            const QVariant arg = next < args.size() ? args.at(next) : QVariant();
            ++next;
            out += conversion == QLatin1Char('d') ? QString::number(arg.toLongLong()) : arg.toString();
            ++i;
        } else if (conversion == QLatin1Char('%')) {
            out += c;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
