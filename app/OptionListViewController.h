// The three option lists of the settings screen: a table of one section whose rows are an
// OptionList's, a checkmark on the checked ones; choosing a row acts and reloads. The sleep
// timer's title counts down once a second while the list is shown. Main thread.
#pragma once

#include <QTimer>

#include <memory>

#include "app/OptionLists.h"
#include "platform/ui/TableViewController.h"

class AppDelegate;

class OptionListViewController : public TableViewController {
    Q_OBJECT
public:
    OptionListViewController(std::unique_ptr<OptionList> list, TableView::Style style, QWidget *parent = nullptr);
    ~OptionListViewController() override;

    OptionList *list() const { return list_.get(); }

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;
    // Reads the title again.
    void refresh();

private:
    std::unique_ptr<OptionList> list_;
};

// The preferred legacy text encoding (a plain list).
class EncodingChooser : public OptionListViewController {
    Q_OBJECT
public:
    // A null application is AppDelegate::shared().
    explicit EncodingChooser(AppDelegate *app = nullptr, QWidget *parent = nullptr);
};

// The sleep timer (a grouped list), counting down in its title while a timer runs.
class SleepTimerViewController : public OptionListViewController {
    Q_OBJECT
public:
    explicit SleepTimerViewController(AppDelegate *app = nullptr, QWidget *parent = nullptr);
    // Whether the once-a-second refresh of the title is pending.
    bool isCountingDown() const { return tick_.isActive(); }
    void didSelectRow(IndexPath path) override;

protected:
    void viewWillAppear() override;
    void viewWillDisappear() override;

private:
    void scheduleTick();

    AppDelegate *app_;
    QTimer tick_;
};

// The backward step (a grouped list).
class BackStepViewController : public OptionListViewController {
    Q_OBJECT
public:
    explicit BackStepViewController(QWidget *parent = nullptr);
};
