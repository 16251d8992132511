// Localisation lookup: the English text is the key and the fallback.
#pragma once

#include <QString>

// Loads the catalogue for the user's language from the resources folder, when there is one.
// Main thread, after the application object exists.
void SVInstallTranslations();

// The translation of `english` for the user's language, or `english` itself.
QString SVLocalized(const char *english);

// Marks an English text that reaches SVLocalized() through a table or a variable, where it is
// written, so that the catalogue extraction finds it. The build's extraction step reads
// SV_TEXT("...") and SVLocalized("...") alike; a text passed any other way is not found.
#define SV_TEXT(english) english

// The resources folder: ../share/sonavel beside the executable.
QString SVResourcesPath();
