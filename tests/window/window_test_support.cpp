#include "window_test_support.h"

#include <gtest/gtest.h>

namespace window_test {
namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new qt_test::ApplicationEnvironment);

}  // namespace

bool SettlePointer(FakePointer& pointer, platform::Point screen, bool leftDown) {
    pointer.Set(screen, leftDown);
    // A query may have begun before the change; the third one from now began after it, and by
    // then the poll of the second has stored what it saw.
    const int seen = pointer.Queries();
    return PumpUntil([&] { return pointer.Queries() >= seen + 3; });
}

ScopedWorkingFolder::ScopedWorkingFolder() : m_previous(QDir::currentPath()) {
    QDir::setCurrent(m_dir.path());
}

ScopedWorkingFolder::~ScopedWorkingFolder() { QDir::setCurrent(m_previous); }

}  // namespace window_test
