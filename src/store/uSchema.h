#pragma once

#include <QStringList>

// The statements that create a new database: tables, trigger and the default settings row, in order.
QStringList SchemaStatements();
