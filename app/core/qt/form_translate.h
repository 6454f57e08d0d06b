// Form translation and form font: every caption of a form from the language, and the language's
// font. Each form calls both when it is created, after setting its own caption from
// <prefix>_Caption.
//
//   core::translateForm(lang, this, "fSet");   // fSet_btnApply, fSet_ListView_sca_0, ...
//   core::setFormFont(lang, this);
//
// The form's descendants (widgets, menus, actions) are walked once each, in creation order; the
// key of an object is prefix + "_" + its objectName, and unnamed objects (and Qt's own inner
// parts) are left alone. What each kind of object takes is listed in one place, in the .cpp.
// The controls' speed button is recognised by its class name (TkwSpeedButton, in any namespace)
// and takes its caption through its "caption" property.
#pragma once

#include <string_view>

class QWidget;

namespace core {

class TLangMng;

void translateForm(const TLangMng &lang, QWidget *form, std::string_view prefix);

// "Chinese": 宋体 (or a CJK font standing in for it) at 9 points; any other language: Arial (or
// its stand-in) at 8 points.
void setFormFont(const TLangMng &lang, QWidget *form);

} // namespace core
