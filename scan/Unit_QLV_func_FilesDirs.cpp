#include "scan/Unit_QLV_func_FilesDirs.h"

#include "platform/Target.h"
#include "platform/Text.h"

#include <array>
#include <vector>

namespace quelvo::scan {

namespace pf = quelvo::platform;

namespace {

constexpr std::size_t kBufferUnits = 4096;

// The only variables an open command may use, in the order they are looked for.
constexpr std::array<std::u16string_view, 3> kSystemVariables{u"%systemroot%", u"%programfiles%", u"%windir%"};

constexpr std::u16string_view kExe = u".exe";

// Runs a platform call into a zeroed buffer and takes its text up to the first NUL.
template <typename Call>
std::u16string ReadBuffer(Call call)
{
    std::vector<char16_t> buffer(kBufferUnits, u'\0');
    call(buffer.data(), buffer.size());
    return std::u16string(pf::UpToNul(std::u16string_view(buffer.data(), buffer.size())));
}

}  // namespace

std::u16string func_ExpandSysVar(std::u16string_view name)
{
    const std::u16string lowered = pf::ToLowerAscii(name);
    for (std::u16string_view variable : kSystemVariables) {
        if (lowered == variable) {
            return ReadBuffer([&](char16_t* buffer, std::size_t capacity) {
                pf::ActiveTarget().ExpandEnvironmentStrings(name, buffer, capacity);
            });
        }
    }
    return {};
}

std::u16string func_GetLongPath(std::u16string_view path)
{
    return ReadBuffer([&](char16_t* buffer, std::size_t capacity) {
        pf::ActiveTarget().GetLongPathName(path, buffer, capacity);
    });
}

std::u16string func_GetExePathFromCommand(std::u16string_view command)
{
    std::u16string result;
    std::u16string expansion;
    std::u16string_view variable;

    const std::u16string loweredCommand = pf::ToLowerAscii(command);
    for (std::u16string_view candidate : kSystemVariables) {
        if (loweredCommand.find(candidate) != std::u16string::npos) {
            expansion = func_ExpandSysVar(candidate);
            variable = candidate;
            break;
        }
    }
    if (!expansion.empty())
        result = pf::ReplaceAllIgnoreCaseAscii(command, variable, expansion);
    if (result.empty())
        result = command;

    const std::size_t exe = pf::ToLowerAscii(result).find(kExe);
    if (!result.empty() && result.front() == u'"') {
        // From after the opening quote up to the end of ".exe"; quoted paths
        // are taken as they are, without long-path conversion.
        if (exe != std::u16string::npos)
            result = result.substr(1, exe + kExe.size() - 1);
    } else {
        if (exe != std::u16string::npos)
            result.resize(exe + kExe.size());
        if (result.find(u'~') != std::u16string::npos)
            result = func_GetLongPath(result);
    }
    if (result.find(u":\\") == std::u16string::npos)
        result.clear();
    return result;
}

}  // namespace quelvo::scan
