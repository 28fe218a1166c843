#pragma once

#include <QString>
#include <QVariantList>

// Fills the printf-like entries of the text table: %d takes an integer, %s a text, in order, in one pass, so a
// "%s" or "%1" inside an inserted value is written unchanged. "%%" is a percent sign.
QString FormatEntry(const QString& format, const QVariantList& args);
