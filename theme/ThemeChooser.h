// The list of the themes that come with the program; choosing one stores it under the
// preference CurrentTheme and tells the application, which passes it on to the other
// screens. A plain table screen of one section. Main thread.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>

#include "platform/ui/TableViewController.h"
#include "theme/Theme.h"

class ThemeChooser : public TableViewController {
    Q_OBJECT
public:
    explicit ThemeChooser(QWidget *parent = nullptr);
    ~ThemeChooser() override;

    // What the application does when the user chose a theme: its onThemeChange, which
    // re-themes the other screens. Main thread.
    static void setThemeChangeHandler(std::function<void()> handler);

    // Re-reads CurrentTheme (a new Theme only when the name differs) and colours the list;
    // nothing on a tablet, where the chooser lives in a popover.
    void onThemeChange();
    Theme *theme() const { return theme_.get(); }
    // The theme files listed, with their extension.
    QStringList themes() const { return themes_; }

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    QStringList themes_;
    std::unique_ptr<Theme> theme_;
};
