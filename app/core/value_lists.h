// Value lists of the settings: service-centre numbers and signatures, kept as rows
// {ClassId, Values} of the local table SSinfo (core/db_schema.h).
//
// Rows are matched by typed comparison (class as an integer, value byte for byte), so any text,
// apostrophes included, can be added, changed and deleted. No operation leaves a filter on the
// table: SSinfo is shared, and a lingering filter would hide rows from its next user. A filter
// another user left on it is cleared first (SSinfo has no index, so the walk order is the append
// order either way).
#pragma once

#include "platform/table.h"

#include <string>
#include <string_view>
#include <vector>

namespace core {

// SSInfoClass: the lists kept in SSinfo.
inline constexpr int kSSInfoServiceCentre = 0;
inline constexpr int kSSInfoSignature = 1;

// True when value holds a byte of 33 or above (a value of blanks and control bytes only counts as
// empty).
bool hasVisibleText(std::string_view value);

// Appends {cls, value} unless the value is empty as above; the value is stored untrimmed (cut to
// the field's 100 characters). True when a row was added.
bool addSSInfo(platform::Table &ssinfo, int cls, std::string_view value);

// Deletes the first row of class cls whose value is exactly value. True when one was deleted.
bool deleteSSInfo(platform::Table &ssinfo, int cls, std::string_view value);

// Sets the value of the first row of class cls whose value is exactly oldValue. True when a row
// was changed.
bool updateSSInfo(platform::Table &ssinfo, int cls, std::string_view oldValue,
                  std::string_view newValue);

// The values of class cls in table order. When class 0 has no row, the row {0, defaultCentre} is
// appended first (not when defaultCentre is empty as above: a blank row would only clutter the list).
std::vector<std::string> getSSInfoList(platform::Table &ssinfo, int cls,
                                       std::string_view defaultCentre);

} // namespace core
