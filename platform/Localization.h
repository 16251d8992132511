// Localisation lookup: the English text is the key and the fallback.
#pragma once

#include <QString>

// Loads the catalogue for the user's language from the resources folder, when there is one.
// Main thread, after the application object exists.
void SVInstallTranslations();

// The translation of `english` for the user's language, or `english` itself.
QString SVLocalized(const char *english);

// The resources folder: ../share/sonavel beside the executable.
QString SVResourcesPath();
