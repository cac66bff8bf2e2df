#include "platform/Target.h"

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"

#include <atomic>

namespace quelvo::platform {

namespace {
std::atomic<Target*> g_activeTarget{nullptr};

// Until a real target is set, checks run against an empty registry with no
// drives: nothing is found, nothing is reported, nothing can break.
Target& EmptyTarget()
{
    static MemoryRegistry registry;
    static HostTarget target(registry, {}, {}, u"empty registry");
    return target;
}
}  // namespace

Target& ActiveTarget()
{
    Target* target = g_activeTarget.load(std::memory_order_acquire);
    return target ? *target : EmptyTarget();
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
