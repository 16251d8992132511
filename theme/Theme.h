// One theme: the value of a ".thm" file (an association list, evaluated by the interpreter)
// answered as typed queries: colours, background images, list insets, the scroll indicator.
// Screens own one each and replace it when the preference CurrentTheme names another file;
// apart from its two image caches a theme never changes. Main thread.
//
// Keys, each the car of a list element whose cdr is the value:
//   scroll-indicator                          #t as a dotted pair; anything else is no
//   background-image-portrait / -landscape    a string (dotted pair): a file in the folder
//   list-background-color, background-color, list-separator-color, list-title-color,
//   list-subtitle-color                       up to four numbers red green blue alpha, 0-255
//   list-inset-portrait / -landscape          four numbers top left bottom right
#pragma once

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QString>

#include <memory>

#include "platform/ui/Device.h"

struct ThmObject;

class Theme {
public:
    // The theme of that file name ("Plain.thm") in the idiom's folder, or none when the file
    // is missing, does not load, or its value is not a list.
    static std::unique_ptr<Theme> create(const QString &fileName);
    // The same, from another folder.
    static std::unique_ptr<Theme> create(const QString &folder, const QString &fileName);
    // <resources>/theme/iPad on a tablet, <resources>/theme/iPhone otherwise.
    static QString defaultThemeFolder();

    ~Theme();
    Theme(const Theme &) = delete;
    Theme &operator=(const Theme &) = delete;

    QString themeFolder() const { return themeFolder_; }
    QString fullpath() const { return fullpath_; }
    // The file name with its extension, to compare with CurrentTheme.
    QString themeName() const;

    // True only when the value is the boolean true.
    bool queryBool(const QString &key) const;
    // The value's text when it is a string, else a null string.
    QString queryString(const QString &key) const;
    // The value as a colour when it is a list, else an invalid colour. Components are
    // divided by 255 and not clamped (a red of 300 is above 1.0), except the alpha, which
    // a colour cannot hold beyond 0-1; a missing or non-number component is 0 (alpha 1).
    QColor queryColor(const QString &key) const;
    // When the value is a list, field n becomes its element n where that is a number;
    // the other fields are left as they are.
    void queryQuadruple(const QString &key, float quad[4]) const;

    bool visibleScrollIndicator() const;
    QColor listBackgroundColor() const;
    QColor backgroundColor() const;
    QColor separatorColor() const;
    QColor titleColor() const;
    QColor subtitleColor() const;
    // The background image for the orientation, or a null image. A loaded image is kept;
    // a failed load is tried again on the next call.
    QImage backgroundImage(Device::Orientation orientation) const;
    // top, left, bottom, right of the list's inset for the orientation; zero when absent.
    QMarginsF insetForList(Device::Orientation orientation) const;

private:
    Theme(QString folder, QString fullpath, ThmObject *alist);
    // The value of the key, retained, or none.
    ThmObject *query(const QString &key) const;

    QString themeFolder_, fullpath_;
    ThmObject *alist_;
    mutable QImage imageP_, imageL_;
};
