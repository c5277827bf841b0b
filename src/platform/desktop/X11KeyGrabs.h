#pragma once

#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QObject>

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

struct xcb_connection_t;

namespace velto {

/// System-wide key combinations on an X server: passive key grabs on the root window. A combination is
/// grabbed once for every state of Caps Lock and Num Lock (the server matches the modifier state exactly),
/// which modifier bit stands for Alt, Super and Num Lock is read from the server's modifier mapping, and
/// a combination that another client holds is refused with BadAccess, which only a checked request reveals.
class X11KeyGrabs : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    /// X11's modifier bits.
    static constexpr std::uint16_t shiftMask = 1 << 0;
    static constexpr std::uint16_t lockMask = 1 << 1;
    static constexpr std::uint16_t controlMask = 1 << 2;

    enum class GrabResult { grabbed, heldByAnotherClient, failed };

    /// A press or release of a grabbed combination; `modifiers` is the grabbed mask (locks left out).
    struct KeyEvent {
        std::uint8_t keyCode = 0;
        std::uint16_t modifiers = 0;
        bool isPress = true;
        std::uint32_t time = 0;
    };

    /// Grabs on the given connection's default root window. The connection stays the caller's.
    explicit X11KeyGrabs(xcb_connection_t *connection);
    ~X11KeyGrabs() override;
    X11KeyGrabs(const X11KeyGrabs &) = delete;
    X11KeyGrabs &operator=(const X11KeyGrabs &) = delete;

    /// Grabs on the application's own X connection, receiving its events through a native event filter;
    /// nothing when the application does not run on X11 (Wayland without XWayland, offscreen).
    static std::unique_ptr<X11KeyGrabs> forApplication();

    /// The X modifier mask for the portable modifier flags (Command = Ctrl, Option = Alt, Control = Super,
    /// Shift), after the server's current modifier mapping.
    std::uint16_t modifierMask(std::uint64_t modifierFlags) const;

    /// Grabs the combination in every Caps Lock and Num Lock state; when one state fails, the states already
    /// grabbed are released again and the combination counts as not grabbed.
    GrabResult grab(std::uint8_t keyCode, std::uint16_t modifiers);
    void ungrab(std::uint8_t keyCode, std::uint16_t modifiers);

    /// Takes the whole keyboard for one of this client's windows, which may not be shown or focused yet: from
    /// now on every key that is not a grabbed combination reaches the connection, addressed to `window`, in
    /// the order typed, until releaseKeyboard(). The keys typed between a hot key and the moment its window
    /// takes the focus are so kept instead of going to the window that had it. After `longest` the keyboard is
    /// let go in any case, also when the thread that handles the events is stuck and never asks for it, so
    /// that the desktop's keyboard never stays with a hung process. False when the server refused.
    bool holdKeyboard(std::uint32_t window, std::uint32_t time, std::chrono::milliseconds longest);
    /// Lets the keyboard go. Keys the server took before still go to the holding window when they come.
    void releaseKeyboard();

    /// Takes one event of the connection (an xcb_generic_event_t): true when it was a grabbed key (and so consumed). A
    /// change of the keyboard mapping re-reads the modifier bits and grabs every combination again. Every other key
    /// the server took while it held the keyboard is readdressed (in place) to the holding window.
    bool handleEvent(void *xcbEvent);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    /// A press or release of a grabbed combination, on the thread that handles the events.
    void keyEvent(const velto::X11KeyGrabs::KeyEvent &event);

private:
    struct Grab {
        std::uint8_t keyCode;
        std::uint16_t modifiers;
    };
    void readModifierMapping();
    std::vector<std::uint16_t> lockVariants() const;
    GrabResult grabVariants(std::uint8_t keyCode, std::uint16_t modifiers);
    void ungrabVariants(std::uint8_t keyCode, std::uint16_t modifiers);
    const Grab *grabOf(std::uint8_t keyCode, std::uint16_t state, bool isPress, bool reportedToRoot);
    bool makeLetGoMessages();
    /// True when the client message is one letGo() sent itself.
    bool takeLetGoMessage(const void *clientMessage);
    void letGo(std::uint32_t holdNumber);
    void stopLetGoWatch();

    xcb_connection_t *connection_;
    std::uint32_t root_ = 0;
    std::uint16_t altMask_ = 1 << 3;     // Mod1 unless the mapping says otherwise
    std::uint16_t superMask_ = 1 << 6;   // Mod4
    std::uint16_t numLockMask_ = 1 << 4; // Mod2
    std::vector<Grab> grabs_;
    // Key codes of grabbed presses whose release has not come yet.
    std::bitset<256> pressedGrabKeys_;
    std::atomic<bool> holdsKeyboard_{false}; // also ended by the watch thread
    // The window the held keyboard's keys go to, from the hold until its let-go message comes back.
    std::uint32_t heldKeysGoTo_ = 0;
    std::uint32_t holdNumber_ = 0;
    std::uint32_t letGoWindow_ = 0;
    std::uint32_t letGoAtom_ = 0;
    bool filtersApplicationEvents_ = false;
    std::jthread letGoWatch_; // lets go after the longest hold
};

} // namespace velto
