#include "platform/ProgramTarget.h"

#include "platform/files/FileTargets.h"

namespace quelvo::platform {

ProgramTarget::ProgramTarget()
{
    files::TargetChoice choice = files::ChooseTarget();
    m_problem = std::move(choice.error);
    m_notice = std::move(choice.notice);
    m_owned = std::move(choice.target);
    if (m_owned)
        SetActiveTarget(m_owned.get());
}

ProgramTarget::~ProgramTarget()
{
    if (m_owned)
        SetActiveTarget(nullptr);
}

}  // namespace quelvo::platform
