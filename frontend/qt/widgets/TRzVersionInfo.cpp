#include "frontend/qt/widgets/TRzVersionInfo.h"

namespace quelvo::widgets {

namespace {

TRzVersionReader& GlobalReader()
{
    static TRzVersionReader reader;
    return reader;
}

}  // namespace

QString VersionFieldKey(TRzVersionInfoField field)
{
    switch (field) {
    case TRzVersionInfoField::vifCompanyName: return QStringLiteral("CompanyName");
    case TRzVersionInfoField::vifFileDescription: return QStringLiteral("FileDescription");
    case TRzVersionInfoField::vifFileVersion: return QStringLiteral("FileVersion");
    case TRzVersionInfoField::vifInternalName: return QStringLiteral("InternalName");
    case TRzVersionInfoField::vifCopyright: return QStringLiteral("LegalCopyright");
    case TRzVersionInfoField::vifTrademarks: return QStringLiteral("LegalTrademarks");
    case TRzVersionInfoField::vifOriginalFilename: return QStringLiteral("OriginalFilename");
    case TRzVersionInfoField::vifProductName: return QStringLiteral("ProductName");
    case TRzVersionInfoField::vifProductVersion: return QStringLiteral("ProductVersion");
    case TRzVersionInfoField::vifComments: return QStringLiteral("Comments");
    }
    return {};
}

void SetExecutableVersionReader(TRzVersionReader reader) { GlobalReader() = std::move(reader); }

TRzVersionReader ExecutableVersionReader() { return GlobalReader(); }

TRzVersionInfo::TRzVersionInfo(QObject* parent, TRzVersionReader reader)
    : QObject(parent), FReader(reader ? std::move(reader) : ExecutableVersionReader())
{
    Read();
}

void TRzVersionInfo::Loaded() { Read(); }

QString TRzVersionInfo::Field(TRzVersionInfoField field) const
{
    const int i = static_cast<int>(field);
    return i >= 0 && i < kVersionFieldCount ? FFields[i] : QString();
}

void TRzVersionInfo::Read()
{
    const std::optional<TRzVersionData> data = FReader ? FReader() : std::nullopt;
    FHasData = data.has_value();
    for (int i = 0; i < kVersionFieldCount; ++i) {
        if (!data) {
            FFields[i] = kValueNotAvailable;
            continue;
        }
        FFields[i].clear();
        if (data->Translations.empty())
            continue;
        const auto& strings = data->Translations.front().Strings;
        const auto it = strings.find(VersionFieldKey(static_cast<TRzVersionInfoField>(i)));
        if (it != strings.end())
            FFields[i] = it->second;
    }
}

}  // namespace quelvo::widgets
