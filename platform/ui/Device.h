// The device the screens run on: its idiom (phone or tablet), the orientation of the main
// window, and whether transitions are animated. Main thread.
//
// A phone is a portrait window that keeps its orientation; a tablet (SONAVEL_IDIOM=tablet)
// is landscape whenever its window is wider than high. Themed screens listen to
// orientationChanged (or override ViewController::orientationDidChange) to re-apply their
// theme's background and insets.
#pragma once

#include <QObject>
#include <QSize>

class Device : public QObject {
    Q_OBJECT
public:
    enum class Idiom { Phone, Tablet };
    enum class Orientation { Portrait, PortraitUpsideDown, LandscapeLeft, LandscapeRight };

    // Tablet when SONAVEL_IDIOM is "tablet"; read on every call, so tests may change it.
    static Idiom idiom();
    static bool isTablet() { return idiom() == Idiom::Tablet; }

    // The main window's orientation; always Portrait on a phone.
    static Orientation orientation();
    static bool isLandscape(Orientation o)
    {
        return o == Orientation::LandscapeLeft || o == Orientation::LandscapeRight;
    }
    // The orientation a window of this size has on this device.
    static Orientation orientationForSize(QSize size);
    // Called by the main window when its size changes; emits orientationChanged on a change.
    static void windowResized(QSize size);

    // The size a new main window gets: 360 x 640 on a phone, 1024 x 768 on a tablet.
    static QSize defaultWindowSize();

    // Presentations animate unless this is off (tests, or a person who asked for less motion).
    static bool animationsEnabled();
    static void setAnimationsEnabled(bool enabled);

    // The object that sends the notifications.
    static Device *instance();

signals:
    void orientationChanged(Device::Orientation orientation);

private:
    Device() = default;
};
