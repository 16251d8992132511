// The three small option lists of the settings screen without their widgets: the preferred
// text encoding, the sleep timer and the backward step. Each is a title and rows of text, some
// checkmarked, and what choosing a row does. Texts are localised. Main thread only.
#pragma once

#include <QList>
#include <QString>

class AppDelegate;

class OptionList {
public:
    virtual ~OptionList() = default;
    virtual QString title() const = 0;
    virtual int count() const = 0;
    virtual QString text(int row) const = 0;
    virtual bool checked(int row) const = 0;
    virtual void select(int row) = 0;
};

// The encodings that legacy text is read in; choosing one stores it and rescans the library,
// so cue sheets and playlists are read again in it.
class EncodingOptions : public OptionList {
public:
    // Not owned; it outlives the list.
    explicit EncodingOptions(AppDelegate *app);
    QString title() const override;
    int count() const override;
    QString text(int row) const override;
    bool checked(int row) const override;
    void select(int row) override;

private:
    AppDelegate *app_;
};

// "NO" and 15, 30, 45, 60, 90 minutes. The title counts down while a timer runs.
class SleepTimerOptions : public OptionList {
public:
    static const QList<int> &minutes();

    explicit SleepTimerOptions(AppDelegate *app);
    // "Sleep Timer", or "Sleep Timer(MM:SS)" with the time left while a timer runs.
    QString title() const override;
    int count() const override;
    QString text(int row) const override;
    bool checked(int) const override { return false; }
    void select(int row) override;
    // The title for `remainingMs` milliseconds left (0: no timer); seconds are rounded up,
    // so a timer just set shows its whole length.
    static QString titleFor(qint64 remainingMs);

private:
    AppDelegate *app_;
};

// 5 to 180 seconds; the row of the step in use ("BackStep", 30 when unset) is checked.
class BackStepOptions : public OptionList {
public:
    static const QList<int> &seconds();

    QString title() const override;
    int count() const override;
    QString text(int row) const override;
    bool checked(int row) const override;
    void select(int row) override;
};
