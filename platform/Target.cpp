#include "platform/Target.h"

#include <atomic>
#include <cassert>

namespace quelvo::platform {

namespace {
std::atomic<Target*> g_activeTarget{nullptr};
}

Target& ActiveTarget()
{
    Target* target = g_activeTarget.load(std::memory_order_acquire);
    assert(target && "no active target");
    return *target;
}

void SetActiveTarget(Target* target)
{
    g_activeTarget.store(target, std::memory_order_release);
}

ScopedActiveTarget::ScopedActiveTarget(Target& target)
    : m_previous(g_activeTarget.exchange(&target, std::memory_order_acq_rel))
{
}

ScopedActiveTarget::~ScopedActiveTarget()
{
    g_activeTarget.store(m_previous, std::memory_order_release);
}

}  // namespace quelvo::platform
