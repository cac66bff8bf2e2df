#include "report/Unit_QLV_Report.h"

#include "platform/Target.h"
#include "platform/Text.h"
#include "report/Unit_QLV_ReportRows.h"

namespace quelvo::report {

using platform::TextDictionary;

std::u16string_view GroupOf(std::u16string_view extension, const TextDictionary& lib)
{
    const std::u16string* group = lib.Find(extension);
    return group != nullptr ? std::u16string_view(*group) : kUnknownGroup;
}

std::u16string NormaliseSearchExt(std::u16string_view typed)
{
    std::u16string ext(platform::TrimBlanks(typed));
    if (!ext.empty() && ext.front() != u'.')
        ext.insert(ext.begin(), u'.');
    return ext;
}

bool TargetFileTest::operator()(std::u16string_view path)
{
    auto [it, added] = m_answers.try_emplace(std::u16string(path), false);
    if (added)
        it->second = platform::ActiveTarget().FileExists(path);
    return it->second;
}

const bool* TargetFileTest::Answer(std::u16string_view path) const
{
    const auto it = m_answers.find(std::u16string(path));
    return it == m_answers.end() ? nullptr : &it->second;
}

FileExistsFn TargetFileTest::AsFunction()
{
    return [this](std::u16string_view path) { return (*this)(path); };
}

namespace {

void AppendToGroup(GroupDictionary& cls, std::u16string_view group, std::u16string_view extension)
{
    if (auto* list = cls.Find(group))
        list->emplace_back(extension);
    else
        cls.Add(group, {std::u16string(extension)});
}

void AddToClass(GroupDictionary& cls, std::u16string_view extension, const TextDictionary& lib)
{
    AppendToGroup(cls, GroupOf(extension, lib), extension);
}

// Group rows followed by their items, in enumeration and list order.
template<typename ItemRow>
int AppendSection(std::vector<std::u16string>& rows, std::u16string_view header, const GroupDictionary& cls,
                  ItemRow itemRow)
{
    int items = 0;
    if (cls.Empty())
        return items;
    rows.emplace_back(header);
    for (const auto& [group, extensions] : cls) {
        rows.push_back(rows::GroupRow(group));
        for (const auto& extension : extensions) {
            rows.push_back(itemRow(extension));
            ++items;
        }
    }
    return items;
}

}  // namespace

void ClassifyScanResults(const TextDictionary& scanned, const TextDictionary& errorScanned, const TextDictionary& lib,
                         std::u16string_view searchExt, const FileExistsFn& fileExists, GroupDictionary& problems,
                         GroupDictionary& needsApplication, GroupDictionary& valid)
{
    if (searchExt.empty()) {
        for (const auto& [extension, path] : scanned)
            AddToClass(fileExists(path) ? valid : needsApplication, extension, lib);
        for (const auto& entry : errorScanned)
            AddToClass(problems, entry.key, lib);
        return;
    }
    const std::u16string* path = scanned.Find(searchExt);
    AddToClass(path != nullptr && fileExists(*path) ? valid : needsApplication, searchExt, lib);
    if (errorScanned.Contains(searchExt))
        AddToClass(problems, searchExt, lib);
}

ReportView BuildReport(const GroupDictionary& problems, const GroupDictionary& needsApplication,
                       const GroupDictionary& valid)
{
    ReportView view;
    view.problemCount += AppendSection(view.rows, rows::kProblemsHeader, problems, rows::ProblemItem);
    view.problemCount +=
        AppendSection(view.rows, rows::kNeedsApplicationHeader, needsApplication, rows::NeedsApplicationItem);
    AppendSection(view.rows, rows::kValidHeader, valid, rows::ValidItem);
    view.countLine = rows::CountLine(view.problemCount);
    return view;
}

std::u16string CountLineFor(const ReportView& view, platform::ReadCondition::Kind read)
{
    return read == platform::ReadCondition::Damaged ? rows::DamagedCountLine(view.problemCount)
           : read == platform::ReadCondition::Stale ? rows::StaleCountLine(view.problemCount)
                                                    : view.countLine;
}

std::vector<std::u16string> ExtensionsToRepair(const GroupDictionary& problems)
{
    std::vector<std::u16string> extensions;
    for (const auto& entry : problems)
        extensions.insert(extensions.end(), entry.value.begin(), entry.value.end());
    return extensions;
}

AfterRepairView RepairAndBuildAfterRepairView(const GroupDictionary& needsApplication, const GroupDictionary& problems,
                                              const RemoveKeyFn& removeKey)
{
    AfterRepairView view;
    view.remainingCount = AppendSection(view.rows, rows::kAfterRepairNeedsApplicationHeader,
                                        needsApplication, rows::CheckItem);

    // Each key is removed once, and its row tells whether it really went.
    GroupDictionary repaired;
    GroupDictionary failed;
    for (const auto& [group, extensions] : problems) {
        for (const auto& extension : extensions) {
            bool removed = removeKey(extension);
            view.repairs.push_back(RepairOutcome{extension, removed});
            AppendToGroup(removed ? repaired : failed, group, extension);
        }
    }
    AppendSection(view.rows, rows::kRepairedHeader, repaired, rows::RepairedItem);
    AppendSection(view.rows, rows::kRepairFailedHeader, failed, rows::RepairFailedItem);
    view.remainingLine = rows::RemainingLine(view.remainingCount);
    return view;
}

AfterRepairView BuildAfterRepairView(const GroupDictionary& needsApplication, const GroupDictionary& problems,
                                     const std::vector<bool>& fixed)
{
    std::size_t next = 0;
    return RepairAndBuildAfterRepairView(needsApplication, problems, [&fixed, &next](std::u16string_view) {
        return next < fixed.size() && fixed[next++];
    });
}

}  // namespace quelvo::report
