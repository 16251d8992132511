#include "app/OptionLists.h"

#include "app/AppDelegate.h"
#include "metadata/CharacterEncoding.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "playback/NowPlaying.h"

namespace {

QString countOf(int n, const char *unit) { return QStringLiteral("%1 %2").arg(n).arg(SVLocalized(unit)); }

bool inRange(int row, int count) { return row >= 0 && row < count; }

}  // namespace

// --- Encodings ---

EncodingOptions::EncodingOptions(AppDelegate *app) : app_(app) {}

QString EncodingOptions::title() const { return SVLocalized("Character Encoding"); }

int EncodingOptions::count() const { return int(CharacterEncoding::getAvailableEncodings().size()); }

QString EncodingOptions::text(int row) const { return CharacterEncoding::getAvailableEncodings().value(row); }

bool EncodingOptions::checked(int row) const
{
    QString preferred = CharacterEncoding::getEncodingDisplayName(
        unsigned(Preferences::integerForKey(QStringLiteral("PreferedEnc"))));
    return inRange(row, count()) && text(row) == preferred;
}

void EncodingOptions::select(int row)
{
    if (!inRange(row, count()))
        return;
    CharacterEncoding::setPreferedEncoding(text(row));
    app_->onEncodingChange();
}

// --- Sleep timer ---

const QList<int> &SleepTimerOptions::minutes()
{
    static const QList<int> values = {15, 30, 45, 60, 90};
    return values;
}

SleepTimerOptions::SleepTimerOptions(AppDelegate *app) : app_(app) {}

QString SleepTimerOptions::titleFor(qint64 remainingMs)
{
    QString title = SVLocalized("Sleep Timer");
    if (remainingMs <= 0)
        return title;
    qint64 seconds = (remainingMs + 999) / 1000;
    return title + QString::asprintf("(%02lld:%02lld)", seconds / 60, seconds % 60);
}

QString SleepTimerOptions::title() const { return titleFor(app_->sleepRemaining()); }

int SleepTimerOptions::count() const { return int(minutes().size()) + 1; }

QString SleepTimerOptions::text(int row) const
{
    if (row == 0)
        return SVLocalized("NO");
    return inRange(row, count()) ? countOf(minutes()[row - 1], SV_TEXT("Minutes")) : QString();
}

void SleepTimerOptions::select(int row)
{
    if (row == 0)
        app_->removeSleepTimer();
    else if (inRange(row, count()))
        app_->setSleepTimer(minutes()[row - 1] * 60);
}

// --- Backward step ---

const QList<int> &BackStepOptions::seconds()
{
    static const QList<int> values = {5, 10, 15, 30, 45, 60, 90, 180};
    return values;
}

QString BackStepOptions::title() const { return SVLocalized("Backward Step"); }

int BackStepOptions::count() const { return int(seconds().size()); }

QString BackStepOptions::text(int row) const
{
    return inRange(row, count()) ? countOf(seconds()[row], SV_TEXT("Seconds")) : QString();
}

bool BackStepOptions::checked(int row) const
{
    return inRange(row, count()) && seconds()[row] == NowPlaying::backstep();
}

void BackStepOptions::select(int row)
{
    if (inRange(row, count()))
        Preferences::setInteger(QStringLiteral("BackStep"), seconds()[row]);
}
