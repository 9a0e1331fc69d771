#pragma once
// A compositor of the test's own: weston with a runtime folder and socket nobody else uses, on one
// of two back ends. The headless one has no seat at all, so nothing can type or point there; the
// nested one shows its output in a window on the test's X display and takes that window's pointer
// and keyboard as its seat's, so xdotool drives Wayland clients through it.

#include <sys/types.h>

#include <QImage>
#include <string>

struct OutputRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    friend bool operator==(const OutputRect&, const OutputRect&) = default;
};

std::ostream& operator<<(std::ostream& out, const OutputRect& rect);

enum class WestonBackend { Headless, NestedInX11 };

class PrivateWeston {
public:
    static constexpr int kOutputWidth = 1600;
    static constexpr int kOutputHeight = 900;
    // What the shell paints where no window is: a colour the player never shows at its edges.
    static constexpr unsigned kBackground = 0xffff00ff;

    explicit PrivateWeston(WestonBackend backend);
    ~PrivateWeston();
    PrivateWeston(const PrivateWeston&) = delete;
    PrivateWeston& operator=(const PrivateWeston&) = delete;

    static bool Installed();
    // Whether it accepts clients; Log() tells why not.
    bool Running() const { return m_pid > 0; }
    std::string Log() const;
    const std::string& RuntimeDir() const { return m_runtimeDir; }
    const std::string& SocketName() const { return m_socketName; }

    // The output as the compositor shows it, saved as <name>.png among the build's screenshots; a
    // null image when the compositor cannot take one.
    QImage Screenshot(const std::string& name) const;

    // The nested output's window on the X display, whose pointer and keys are the seat's.
    void MovePointer(int outputX, int outputY) const;
    void PressPointer() const;
    void ReleasePointer() const;
    void Keys(const std::string& keys) const;

private:
    bool WaitForSocket() const;
    unsigned long FindOutputWindow() const;
    void Kill();

    std::string m_runtimeDir;
    std::string m_socketName = "wayland-telvane-test";
    pid_t m_pid = 0;
    unsigned long m_outputWindow = 0;
    int m_windowX = 0;
    int m_windowY = 0;
};

// The rectangle of the output that windows cover: the rows and columns where more than a handful
// of pixels differ from the background (a pointer's few pixels do not count); empty when none.
OutputRect CoveredRect(const QImage& output, unsigned background = PrivateWeston::kBackground);
