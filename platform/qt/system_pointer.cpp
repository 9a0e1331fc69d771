#include "platform/qt/system_pointer.h"

#include <QGuiApplication>

#include "platform/qt/pointer_query_x11.h"

namespace platform {

std::shared_ptr<PointerQuery> SystemPointerQuery() {
    // One connection serves every window of the process.
    static std::shared_ptr<PointerQuery> shared = [] {
        std::shared_ptr<PointerQuery> query;
        if (QGuiApplication::platformName() == QLatin1String("xcb")) query = CreateX11PointerQuery();
        return query ? query : CreateNoPointerQuery();
    }();
    return shared;
}

}  // namespace platform
