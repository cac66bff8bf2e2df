#include "report/Unit_QLV_Report.h"

#include "report/Unit_QLV_ReportRows.h"

namespace quelvo::report {

using platform::TextDictionary;

std::u16string_view GroupOf(std::u16string_view extension, const TextDictionary& lib)
{
    const std::u16string* group = lib.Find(extension);
    return group != nullptr ? std::u16string_view(*group) : kUnknownGroup;
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

}  // namespace quelvo::report
