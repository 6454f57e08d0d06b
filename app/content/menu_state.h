// A menu state: what each command of a manager's menus should look like, by object name. The
// managers compute it headless; the Qt side applies it to the actions of that name
// (content/qt/apply_menu.h). Shared by the message, phrase and contact managers.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace content {

// An unset part leaves the command as it is.
struct ItemState {
    std::optional<bool> shown;
    std::optional<bool> enabled;
    bool operator==(const ItemState &) const = default;
};

using NamedMenuState = std::map<std::string, ItemState, std::less<>>;

// The state of name; all unset when the state does not name it.
inline ItemState stateOf(const NamedMenuState &m, std::string_view name)
{
    auto it = m.find(name);
    return it == m.end() ? ItemState{} : it->second;
}

} // namespace content
