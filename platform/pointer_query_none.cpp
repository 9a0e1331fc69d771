#include "platform/pointer_query.h"

namespace platform {
namespace {

class NoPointerQuery final : public PointerQuery {
public:
    bool Query(Point&, bool&) override { return false; }
    bool IsGlobal() const override { return false; }
};

}  // namespace

std::shared_ptr<PointerQuery> CreateNoPointerQuery() { return std::make_shared<NoPointerQuery>(); }

}  // namespace platform
