// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/SettingsKeys.h"
#include "platform/ui/ImageButton.h"

#include <QPointer>
#include <QWidget>

class ImageSlider;
class QSettings;

// What the transport view tells the recorder screen. Every message is optional: the defaults
// do nothing, so a receiver overrides only those it acts on. Each flag argument is the flag's
// value after the tap that changed it.
class TransportViewDelegate
{
public:
    virtual ~TransportViewDelegate() = default;
    virtual void handleRecord(bool recording) { (void)recording; }
    virtual void handlePlay(bool playing) { (void)playing; }
    virtual void handleJog(bool jogMode) { (void)jogMode; }
    virtual void handleLVToggle(bool locatorMode) { (void)locatorMode; }
    // The volume slider: its value (1 to 10) on every change while dragged, and the drag's ends.
    virtual void handleSliderValueChanged(float value) { (void)value; }
    virtual void handleSliderTouchStart() {}
    virtual void handleSliderTouchEnd() {}
    // The locate slider: the position in percent (0 to 100) while dragged, and the drag's ends.
    // Never sent while recording.
    virtual void handleLocateMoved(float percent) { (void)percent; }
    virtual void handleLocateSliderTouchStart() {}
    virtual void handleLocateSliderTouchEnd() {}
};

// The transparent layer of the recorder screen with the transport controls: the record / stop /
// append button (buttonA), the play / pause button (buttonB), two wider hit areas beside them
// (the sludge buttons), the wheel-mode and slider-mode toggles at the left edge, and one slider
// row at the bottom showing either the output volume or the locate position.
//
// It keeps five flags describing the transport state. The setters only store them; the controls
// are rebuilt by setupTransportButtons, setupTransportToggleButtons and hideShowSliders. Taps
// flip the flags, tell the delegate and rebuild what they changed, with or without a delegate.
class TransportView : public QWidget
{
    Q_OBJECT
public:
    // Placed at (0, 50), 320 × 384 points, in the dashboard's coordinates.
    explicit TransportView(QWidget* parent = nullptr);

    bool hasPlayMode() const { return m_hasPlayMode; }
    void setHasPlayMode(bool hasPlayMode) { m_hasPlayMode = hasPlayMode; }
    bool playing() const { return m_playing; }
    void setPlaying(bool playing) { m_playing = playing; }
    bool recording() const { return m_recording; }
    void setRecording(bool recording) { m_recording = recording; }
    bool jogMode() const { return m_jogMode; }
    void setJogMode(bool jogMode) { m_jogMode = jogMode; }
    bool locatorMode() const { return m_locatorMode; }
    void setLocatorMode(bool locatorMode) { m_locatorMode = locatorMode; }

    ImageButton* buttonA() const { return m_buttonA; }
    ImageButton* buttonB() const { return m_buttonB; }
    ImageButton* sludgeButtonA() const { return m_sludgeButtonA; }
    ImageButton* sludgeButtonB() const { return m_sludgeButtonB; }
    ImageButton* jsToggle() const { return m_jsToggle; }
    ImageButton* lvToggle() const { return m_lvToggle; }
    // The volume slider, 1.0 to 10.0.
    ImageSlider* customSlider() const { return m_customSlider; }
    // The locate slider, 0.0 to 100.0 percent of the recording.
    ImageSlider* customLocateSlider() const { return m_customLocateSlider; }

    TransportViewDelegate* delegate() const { return m_delegate; }
    // Not owned; the delegate must outlive the view or be cleared first.
    void setDelegate(TransportViewDelegate* delegate) { m_delegate = delegate; }

    // Where "output_volume" is stored; the application's default settings when none is set.
    // Not owned.
    void setUserDefaults(QSettings* settings) { m_userDefaults = settings; }

    // Rebuilds buttonA, buttonB and the sludge buttons from hasPlayMode, recording and playing.
    void setupTransportButtons();
    // Rebuilds the two toggles from jogMode and locatorMode.
    void setupTransportToggleButtons();
    // Shows the locate slider when locatorMode is set, the volume slider otherwise.
    void hideShowSliders();

    // The user actions, also callable from code (the recorder screen stops a take or a playback
    // through them). The sender is ignored.
    void doRecord(QObject* sender = nullptr);
    void doPlay(QObject* sender = nullptr);
    void doSludgeA(QObject* sender = nullptr);
    void doSludgeB(QObject* sender = nullptr);
    void doJogShuttle(QObject* sender = nullptr);
    void doLVShuttle(QObject* sender = nullptr);

private:
    void loadPics();
    void createCustomSliders();
    // `accessibleName` says what the button does; a button without the touch highlight is a
    // wide hit area around another, out of the keyboard's and screen readers' way.
    ImageButton* createImageButton(const QString& normalName, const QString& pressedName,
                                   QPoint origin, bool touchHilite,
                                   void (TransportView::*action)(QObject*),
                                   const QString& accessibleName);
    static void setButtonImages(ImageButton* button, const QString& normalName,
                                const QString& pressedName);
    // Takes a button out of the view. It may be the one whose tap is being handled, so it is
    // hidden at once and deleted once control is back in the event loop.
    static void discard(QPointer<ImageButton>& button);

    void sliderAction();
    void lvSliderAction();

    bool m_hasPlayMode = false;
    bool m_playing = false;
    bool m_recording = false;
    bool m_jogMode = false;
    bool m_locatorMode = false;

    QPointer<ImageButton> m_buttonA;
    QPointer<ImageButton> m_buttonB;
    QPointer<ImageButton> m_sludgeButtonA;
    QPointer<ImageButton> m_sludgeButtonB;
    QPointer<ImageButton> m_jsToggle;
    QPointer<ImageButton> m_lvToggle;
    ImageSlider* m_customSlider = nullptr;
    ImageSlider* m_customLocateSlider = nullptr;

    TransportViewDelegate* m_delegate = nullptr;
    QSettings* m_userDefaults = nullptr;
};
