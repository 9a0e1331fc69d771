#include "platform/qt/pointer_query_x11.h"

#include <X11/Xlib.h>

#include <mutex>

namespace platform {
namespace {

class X11PointerQuery final : public PointerQuery {
public:
    explicit X11PointerQuery(Display* display) : m_display(display) {}
    ~X11PointerQuery() override { XCloseDisplay(m_display); }

    // Callers on several threads share the connection one at a time.
    bool Query(Point& screen, bool& leftButtonDown) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &winX,
                           &winY, &mask))
            return false;
        screen = Point{rootX, rootY};
        leftButtonDown = (mask & Button1Mask) != 0;
        return true;
    }

    bool IsGlobal() const override { return true; }

private:
    std::mutex m_mutex;
    Display* m_display;
};

}  // namespace

std::shared_ptr<PointerQuery> CreateX11PointerQuery() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    return std::make_shared<X11PointerQuery>(display);
}

}  // namespace platform
