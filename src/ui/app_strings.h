#pragma once

#include <QString>

// The application's string table: the text of a string resource, or an
// empty text when there is none with that identifier.
QString LoadAppString(int id);
