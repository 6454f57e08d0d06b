// The program's icons: a freedesktop icon theme (Tango, from the system's icon folders) looked up
// by the standard names, with small pictures of our own drawn where the theme has none (message
// read and unread, handset, SIM card). The theme and its search path are set explicitly the
// first time an icon is asked for, so the icons are the same on every desktop and offscreen.
//
//   tree->setIcon(0, content::picture(content::kPicInbox));
//   action->setIcon(content::commandIcon("download"));
//   view.setImages(content::pictureList());   // indexed by content::Picture
#pragma once

#include "content/pictures.h"

#include <QIcon>
#include <QList>
#include <QString>

#include <string_view>

namespace content {

// The theme the icons come from.
inline constexpr const char *kIconTheme = "Tango";

// Sets the theme name and adds the system's icon folders to the search path (once). True when
// the theme was found there; otherwise every icon is one of our own.
bool useIconTheme();

// The icon of a picture index (content::Picture); a null icon for an index out of range.
QIcon picture(int index);
// Every picture, in index order.
QList<QIcon> pictureList();
// The icon of a command by the inventory's icon name ("download", "new", "print", ...); a null
// icon for a name that is not one.
QIcon commandIcon(std::string_view name);

// The theme names tried, in order, for a picture or a command (before our own drawing); for
// tests and the screenshots' notes.
QStringList themeNames(int index);
QStringList commandThemeNames(std::string_view name);

} // namespace content
