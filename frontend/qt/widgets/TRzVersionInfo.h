#pragma once

// Reads the ten standard string fields of the running executable's version
// data. Values come from the string table of the first translation. Without
// version data every field reads "Value Not Available"; a field missing from
// the table reads as empty text.
//
// Where the data comes from is a reader function: on Windows the version
// resource of the executable, elsewhere a table the build embeds into the
// program (see SetExecutableVersionReader).

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quelvo::widgets {

enum class TRzVersionInfoField {
    vifCompanyName,
    vifFileDescription,
    vifFileVersion,
    vifInternalName,
    vifCopyright,
    vifTrademarks,
    vifOriginalFilename,
    vifProductName,
    vifProductVersion,
    vifComments,
};
constexpr int kVersionFieldCount = 10;

// The key of a field in a version string table ("FileVersion").
QString VersionFieldKey(TRzVersionInfoField field);

struct TRzVersionTranslation {
    std::uint16_t Language = 0x0409;
    std::uint16_t CodePage = 1200;
    std::map<QString, QString> Strings;  // "FileVersion" -> "1.0.0.14"
};

// One executable's version data: its translations in file order.
struct TRzVersionData {
    std::vector<TRzVersionTranslation> Translations;
};

// None: the executable carries no version data.
using TRzVersionReader = std::function<std::optional<TRzVersionData>()>;

// The reader TRzVersionInfo uses unless given its own. Until one is set it
// reports no version data. The program sets it once at start-up.
void SetExecutableVersionReader(TRzVersionReader reader);
TRzVersionReader ExecutableVersionReader();

inline const QString kValueNotAvailable = QStringLiteral("Value Not Available");

class TRzVersionInfo : public QObject {
    Q_OBJECT
public:
    // Reads at once through `reader`, or the executable's reader when empty.
    explicit TRzVersionInfo(QObject* parent = nullptr, TRzVersionReader reader = {});

    // Reads again (after loading).
    void Loaded();

    bool HasVersionData() const { return FHasData; }
    QString Field(TRzVersionInfoField field) const;

    QString CompanyName() const { return Field(TRzVersionInfoField::vifCompanyName); }
    QString FileDescription() const { return Field(TRzVersionInfoField::vifFileDescription); }
    QString FileVersion() const { return Field(TRzVersionInfoField::vifFileVersion); }
    QString InternalName() const { return Field(TRzVersionInfoField::vifInternalName); }
    QString Copyright() const { return Field(TRzVersionInfoField::vifCopyright); }
    QString Trademarks() const { return Field(TRzVersionInfoField::vifTrademarks); }
    QString OriginalFilename() const { return Field(TRzVersionInfoField::vifOriginalFilename); }
    QString ProductName() const { return Field(TRzVersionInfoField::vifProductName); }
    QString ProductVersion() const { return Field(TRzVersionInfoField::vifProductVersion); }
    QString Comments() const { return Field(TRzVersionInfoField::vifComments); }

private:
    void Read();

    TRzVersionReader FReader;
    bool FHasData = false;
    QString FFields[kVersionFieldCount];
};

}  // namespace quelvo::widgets
