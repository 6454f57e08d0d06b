// The connection choices a driver offers, as the settings dialog and the worker see them: one
// element per connection row of the driver catalogue (see core/catalogue.h, GetConnChoices).
#pragma once

#include <string>
#include <vector>

namespace core {

struct UIConnParam {
    std::string Man;                // manufacturer the driver serves; empty when its driver is gone
    std::string Type;               // connection type, e.g. "Cable" or "IrDA"
    std::vector<std::string> Ports; // port names to choose from (may hold one empty text)
    std::vector<std::string> Bauds; // baud rates as decimal texts (an item may be empty)

    bool operator==(const UIConnParam &) const = default;
};

// Owned by whoever asked for it; the catalogue keeps no reference.
using UIConnParamList = std::vector<UIConnParam>;

} // namespace core
