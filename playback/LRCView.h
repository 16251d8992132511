// The strip of synchronised lyrics on the now-playing screen: the line of an LRC file that
// belongs to the playing time, the next line sliding in from below over one second while the
// old one leaves upwards and fades; a tap shows or hides the theme's background behind it.
// Accessible as "lyrics" with the current line as its description, and the current line is
// the text of its one visible label. Main thread.
#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

struct LyricList;
class QLabel;
class QVariantAnimation;

class LRCView : public QWidget {
    Q_OBJECT
public:
    // Parses the file at `path`; one that cannot be read shows nothing. Starts at time 0.
    explicit LRCView(const QString &path, QWidget *parent = nullptr);
    ~LRCView() override;

    const LyricList *file() const { return file_; }
    // The line shown as current, from 0; -1 before the first.
    int currentLine() const { return currentLine_; }
    // Its text, decoded; empty when there is none.
    QString currentText() const;
    // Follows the playing time: a different line that exists becomes current.
    void setCurrentTime(float seconds);
    // How many lines show at once (the screen shows one); below 1 is ignored.
    void setViewableLineCount(int count);
    // The labels, the current one first; one more than the lines shown.
    QList<QLabel *> viewLines() const { return viewLines_; }
    bool isAnimating() const;

    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor &color);
    QColor themeBackgroundColor() const { return themeBackgroundColor_; }
    void setThemeBackgroundColor(const QColor &color) { themeBackgroundColor_ = color; }
    // What shows behind the text now: clear at first.
    QColor backgroundColor() const { return background_; }
    // What a tap does: the theme's background when clear (and there is one), else clear.
    void toggleBackground();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Move {
        QLabel *label;
        double fromY, toY, fromAlpha, toAlpha;
    };
    QString lineText(int n) const;
    void setAlpha(QLabel *label, double alpha);
    void placeLabels();
    void step(double progress);
    void finishAnimation();

    LyricList *file_ = nullptr;
    int currentLine_ = -1;
    int lineCount_ = 1;
    QList<QLabel *> viewLines_;
    QColor textColor_ = Qt::white;
    QColor themeBackgroundColor_;
    QColor background_ = Qt::transparent;
    QPointer<QVariantAnimation> animation_;
    QList<Move> moves_;
    QLabel *outgoing_ = nullptr;
};
