#pragma once

#include <QStringList>

// The statements that create a new database: tables, default settings row, index and trigger, in order.
QStringList SchemaStatements();

// The first release's schema, without the index and with its slow trigger; gives the same figures as
// SchemaStatements(). Kept to prove that and to measure the difference.
QStringList OriginalSchemaStatements();
