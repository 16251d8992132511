#include "playback/LRCView.h"

#include <QLabel>
#include <QPainter>
#include <QVariantAnimation>

#include "metadata/CharacterEncoding.h"
#include "platform/Localization.h"
#include "platform/ui/Device.h"
#include "playback/Lrc.h"

namespace {

const int kAnimationMs = 1000;
const char kAlpha[] = "lyricAlpha";

double alphaOf(const QLabel *label) { return label->property(kAlpha).toDouble(); }

}  // namespace

LRCView::LRCView(const QString &path, QWidget *parent) : QWidget(parent)
{
    setAccessibleName(SVLocalized("lyrics"));
    file_ = LrcParseFile(path.toUtf8().constData());
    setViewableLineCount(1);
    setCurrentTime(0);
}

LRCView::~LRCView()
{
    if (animation_)
        animation_->stop();
    LrcFree(file_);
}

QString LRCView::lineText(int n) const
{
    const LyricLine *line = n >= 0 ? LrcLineAt(file_, n) : nullptr;
    return line ? CharacterEncoding::parseCString(line->text) : QString();
}

QString LRCView::currentText() const { return lineText(currentLine_); }

bool LRCView::isAnimating() const { return animation_ && animation_->state() == QAbstractAnimation::Running; }

void LRCView::setAlpha(QLabel *label, double alpha)
{
    label->setProperty(kAlpha, alpha);
    QColor color = textColor_;
    color.setAlphaF(float(color.alphaF() * alpha));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void LRCView::setTextColor(const QColor &color)
{
    textColor_ = color;
    for (QLabel *label : std::as_const(viewLines_))
        setAlpha(label, alphaOf(label));
}

void LRCView::setViewableLineCount(int count)
{
    if (count < 1)
        return;
    finishAnimation();
    qDeleteAll(viewLines_);
    viewLines_.clear();
    lineCount_ = count;
    for (int i = 0; i <= count; i++) {
        auto *label = new QLabel(this);
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setText(lineText(currentLine_ + i));
        // The extra label waits for the next line change, out of view.
        label->setVisible(i < count);
        setAlpha(label, i == 0 ? 1.0 : (i < count ? 0.5 : 0.0));
        viewLines_ << label;
    }
    placeLabels();
}

void LRCView::placeLabels()
{
    double lh = double(height()) / lineCount_;
    for (int i = 0; i < viewLines_.size(); i++)
        viewLines_[i]->setGeometry(0, int(i * lh), width(), int(lh));
}

void LRCView::setCurrentTime(float seconds)
{
    int line = lineForTime(file_, seconds);
    if (line == currentLine_ || line == -1)
        return;
    currentLine_ = line;
    finishAnimation();

    // The first label leaves upwards; the others move up one place, the last coming in from
    // below the view.
    QLabel *outgoing = viewLines_.takeFirst();
    const int k = int(viewLines_.size());
    const double h = height(), lh = h / k;
    viewLines_.last()->move(0, int(h));
    moves_.clear();
    for (int i = 0; i < k; i++) {
        QLabel *label = viewLines_[i];
        label->setText(lineText(currentLine_ + i));
        label->show();
        moves_ << Move{label, double(label->y()), i * lh, alphaOf(label), i == 0 ? 1.0 : 0.5};
    }
    moves_ << Move{outgoing, double(outgoing->y()), -lh, alphaOf(outgoing), 0.0};
    viewLines_ << outgoing;
    outgoing_ = outgoing;
    setAccessibleDescription(currentText());
    // Less motion asked for: the line changes at once.
    if (!Device::animationsEnabled()) {
        finishAnimation();
        return;
    }

    animation_ = new QVariantAnimation(this);
    animation_->setDuration(kAnimationMs);
    animation_->setStartValue(0.0);
    animation_->setEndValue(1.0);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) { step(v.toDouble()); });
    connect(animation_, &QVariantAnimation::finished, this, [this] { finishAnimation(); });
    step(0);
    animation_->start(QAbstractAnimation::DeleteWhenStopped);
}

void LRCView::step(double progress)
{
    for (const Move &m : moves_) {
        m.label->move(0, int(m.fromY + (m.toY - m.fromY) * progress));
        setAlpha(m.label, m.fromAlpha + (m.toAlpha - m.fromAlpha) * progress);
    }
}

void LRCView::finishAnimation()
{
    if (moves_.isEmpty())
        return;
    QList<Move> moves = std::move(moves_);
    moves_.clear();
    if (animation_) {
        animation_->disconnect(this);
        animation_->stop();
    }
    for (const Move &m : moves) {
        m.label->move(0, int(m.toY));
        setAlpha(m.label, m.toAlpha);
    }
    // Gone from sight, and from what a screen reader reads.
    if (outgoing_) {
        outgoing_->hide();
        outgoing_ = nullptr;
    }
}

void LRCView::toggleBackground()
{
    if (background_.alpha() == 0 && themeBackgroundColor_.isValid())
        background_ = themeBackgroundColor_;
    else
        background_ = Qt::transparent;
    update();
}

void LRCView::paintEvent(QPaintEvent *)
{
    if (background_.alpha() == 0)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), background_);
}

void LRCView::mousePressEvent(QMouseEvent *) { toggleBackground(); }

void LRCView::resizeEvent(QResizeEvent *)
{
    finishAnimation();
    placeLabels();
}
