// The program's own images, by file name ("note.png"), from the images folder of the
// resources (<resources>/images, rendered from resources/icons at build time). Main thread.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The image, or a null image when there is none. On a tablet "name~ipad.png" is taken
// instead of "name.png" where it exists; a name that already says "~ipad" is taken as it is.
QImage imageNamed(const QString &name);

// The file imageNamed reads for `name`, or an empty string when there is none.
QString imagePathNamed(const QString &name);

// imageNamed as an icon, for buttons.
QIcon iconNamed(const QString &name);
