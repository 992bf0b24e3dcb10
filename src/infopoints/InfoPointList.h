#pragma once

// The logic behind the information-point list: which server entry list a kind's query selects,
// the caption and texts of the value column, the minimum-duration filter, the keys the duration box
// accepts, the track bar position of an entry, and the kind menu's numbering and images.

#include <QChar>
#include <QString>
#include <Qt>

#include <optional>

#include "common/OleDate.h"

namespace infopoints {

// Item data role of a listed row (column 0) that holds the 1-based number of the server entry the
// row was built from, so that a click finds that entry even when the filter hides earlier ones.
constexpr int EntryIndexRole = Qt::UserRole + 1;

// The server entry list a query names: "tank-num1" is type "tank", kind "num1"; a query without
// "-" ("parks") names only the type, and the kind the server holds stays as it is.
struct TEntryListSelection {
    QString typeName;
    std::optional<QString> kindName;
};
TEntryListSelection entryListOf(const QString& query);

// What the fourth column shows for a query.
enum class TValueKind { Speed, Tank1, Tank2, Duration };
TValueKind valueKindOf(const QString& query);
// "Скорость" for speeding, "Объем, л" for the two tanks, "Прод-ть" for everything else.
QString valueColumnCaption(const QString& query);

// A number of the value column: unrounded, shortest general form, the locale's decimal separator.
QString valueText(double value);

// The length of a server duration text ("hh:mm:ss", "D hh:mm:ss") in seconds. Durations are whole
// seconds; the result is exact, so an entry of 6 s passes a minimum of 6. Throws telvika::Error on a
// text that is no duration.
double durationSeconds(const QString& durationText);
bool lastsAtLeast(const QString& durationText, int minimumSeconds);

// The minimum duration the box holds (digits only, at most four of them). Throws telvika::Error
// with a clear message for anything else.
int minimumDurationOf(const QString& boxText);

// The characters the duration box accepts: "0".."9" and backspace.
bool isDurationBoxKey(QChar key);
constexpr QChar Backspace{8};

// Track bar position of a moment: whole seconds after the first track point, halves to even,
// kept inside the range an int can hold.
int trackBarPosition(telvika::TDateTime moment, telvika::TDateTime firstPointTime);

// The kind menu: item "mnu<k>" stands for kind k - 1 (position in the kind list from 0). The
// number k of an item's name, or nothing for another name.
std::optional<int> menuItemNumber(const QString& objectName);
// Image of item k in ImageList2: k - 2 while checked, k + 10 while not.
int menuItemImage(int k, bool checked);

}  // namespace infopoints
