#include "forms/f_main_inventory.h"

#include <cstring>

namespace forms {
namespace {

using K = MainItemKind;

// Positions are written out so that a moved line shows in review: the managers reach m_Edit's
// fifth and sixth items, menu_treeuser's third and fourth and menu_userview's seventh by position.
constexpr MainItem kItems[] = {
    // --- main menu ---
    {K::Menu, "m_file", "Menu_Main", 0, nullptr, 0, nullptr},
    {K::Action, "mConnect", "m_file", 0, nullptr, 0, "connect"},
    {K::Separator, "N2", "m_file", 1, nullptr, 0, nullptr},
    {K::Action, "P1", "m_file", 2, "Ctrl+P", 0, "print"},
    {K::Separator, "N3", "m_file", 3, nullptr, 0, nullptr},
    {K::Action, "menu_exit", "m_file", 4, nullptr, 0, nullptr},

    {K::Menu, "m_Edit", "Menu_Main", 1, nullptr, 0, nullptr},
    {K::Action, "m_copy", "m_Edit", 0, nullptr, 0, nullptr},
    {K::Action, "m_cut", "m_Edit", 1, nullptr, 0, nullptr},
    {K::Action, "m_pase", "m_Edit", 2, nullptr, 0, nullptr},
    {K::Separator, "N40", "m_Edit", 3, nullptr, 0, nullptr},
    {K::Action, "m_del", "m_Edit", 4, nullptr, 0, nullptr},          // the area's delete
    {K::Action, "menu_user_clear", "m_Edit", 5, nullptr, 0, nullptr}, // the area's clear
    {K::Separator, "N41", "m_Edit", 6, nullptr, 0, nullptr},
    {K::Action, "m_selectall", "m_Edit", 7, nullptr, 0, nullptr},
    {K::Action, "m_find", "m_Edit", 8, "Ctrl+F1", 0, "find"},

    {K::Menu, "m_view", "Menu_Main", 2, nullptr, 0, nullptr},
    {K::Action, "N60", "m_view", 0, nullptr, 0, nullptr, true, true},
    {K::Action, "N62", "m_view", 1, nullptr, 0, nullptr, true, true},
    {K::Separator, "N50", "m_view", 2, nullptr, 0, nullptr},
    {K::Action, "menu_tosms", "m_view", 3, "Shift+F1", 0, "box"},
    {K::Action, "menu_tocont", "m_view", 4, "Shift+F2", 1, "contact"},
    {K::Action, "menu_touser", "m_view", 5, "Shift+F6", 2, "phrase"},
    {K::Action, "N53", "m_view", 6, "Shift+F3", 3, nullptr, false, false, false, false},
    {K::Action, "menu_toring", "m_view", 7, "Shift+F4", 4, nullptr, false, false, false, false},

    // The message menu: the fourth and fifth items (new, edit) work without a handset.
    {K::Menu, "mSms", "Menu_Main", 3, nullptr, 0, nullptr},
    {K::Action, "mSmsDownload", "mSms", 0, nullptr, 0, "download"},
    {K::Action, "mSmsSendto", "mSms", 1, nullptr, 0, "send"},
    {K::Action, "mSmsResend", "mSms", 2, nullptr, 0, "resend"},
    {K::Action, "mSmsNew", "mSms", 3, nullptr, 0, "new"},
    {K::Action, "mSmsEdit", "mSms", 4, nullptr, 0, "edit"},
    {K::Action, "mSmsSendback", "mSms", 5, nullptr, 0, "reply"},
    {K::Action, "menu_sms_send", "mSms", 6, nullptr, 0, "send"},

    {K::Menu, "mCont", "Menu_Main", 4, nullptr, 0, nullptr},
    {K::Action, "menu_cont_read", "mCont", 0, nullptr, 1, "download"},
    {K::Action, "N88", "mCont", 1, nullptr, 1, "flash"},
    {K::Action, "menu_cont_add", "mCont", 2, nullptr, 0, "new"},
    {K::Action, "N90", "mCont", 3, nullptr, 0, "edit"},

    {K::Menu, "mUser", "Menu_Main", 5, nullptr, 0, nullptr},
    {K::Action, "N16", "mUser", 0, nullptr, 0, "group"},
    {K::Action, "N22", "mUser", 1, nullptr, 0, "new"},
    {K::Action, "N26", "mUser", 2, nullptr, 0, "edit"},
    {K::Action, "menu_user_delgroup", "mUser", 3, nullptr, 0, nullptr},

    // The tool menu: the active area's commands are shown in front of these.
    {K::Menu, "m_tool", "Menu_Main", 6, nullptr, 0, nullptr},
    {K::Action, "m_comset", "m_tool", 0, nullptr, 0, "settings"},
    {K::Action, "SysTemInfo1", "m_tool", 1, nullptr, 0, nullptr},
    {K::Action, "m_laguset", "m_tool", 2, nullptr, 0, nullptr},
    {K::Separator, "N93", "m_tool", 3, nullptr, 0, nullptr},
    {K::Menu, "m_picture", "m_tool", 4, nullptr, 0, nullptr, false, false, false},
    {K::Action, "m_picture_load", "m_picture", 0, nullptr, 0, nullptr},
    {K::Action, "m_picture_send", "m_picture", 1, nullptr, 0, nullptr},
    {K::Menu, "m_ring", "m_tool", 5, nullptr, 0, nullptr, false, false, false},
    {K::Action, "m_ring_load", "m_ring", 0, nullptr, 0, nullptr},
    {K::Action, "m_ring_send", "m_ring", 1, nullptr, 0, nullptr},
    {K::Action, "m_group", "m_tool", 6, nullptr, 0, nullptr},
    {K::Action, "m_vcard", "m_tool", 7, nullptr, 0, nullptr},
    {K::Action, "menu_option", "m_tool", 8, nullptr, 0, nullptr},

    {K::Menu, "m_help", "Menu_Main", 7, nullptr, 0, nullptr},
    {K::Action, "nHelp", "m_help", 0, "F1", 0, "help"},
    {K::Separator, "N33", "m_help", 1, nullptr, 0, nullptr},
    {K::Action, "N34", "m_help", 2, nullptr, 0, nullptr},

    // --- pop-ups ---
    {K::Popup, "menu_tree_sms", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "menu_load_sms", "menu_tree_sms", 0, nullptr, 0, "download"},
    {K::Action, "menu_sendall", "menu_tree_sms", 1, nullptr, 0, nullptr},
    {K::Action, "menu_add_sms", "menu_tree_sms", 2, nullptr, 0, "new"},
    {K::Action, "menu_clear_sms", "menu_tree_sms", 3, nullptr, 0, nullptr},
    {K::Action, "menu_allundel_sms", "menu_tree_sms", 4, nullptr, 0, nullptr},

    {K::Popup, "menu_list_sms", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "pSmsNew", "menu_list_sms", 0, nullptr, 0, "new"},
    {K::Action, "pSmsEdit", "menu_list_sms", 1, nullptr, 0, "edit"},
    {K::Action, "pSmsDel", "menu_list_sms", 2, nullptr, 0, nullptr},
    {K::Action, "pSmsSa", "menu_list_sms", 3, nullptr, 0, nullptr},
    {K::Separator, "N12", "menu_list_sms", 4, nullptr, 0, nullptr},
    {K::Action, "pSmsSendto", "menu_list_sms", 5, nullptr, 0, "send"},
    {K::Action, "pSmsResend", "menu_list_sms", 6, nullptr, 0, "resend"},
    {K::Action, "pSmsSend", "menu_list_sms", 7, nullptr, 0, "send"},
    {K::Action, "pSmsSendBack", "menu_list_sms", 8, nullptr, 0, "reply"},
    {K::Separator, "N13", "menu_list_sms", 9, nullptr, 0, nullptr},
    {K::Menu, "pSmsWrite", "menu_list_sms", 10, nullptr, 0, nullptr},
    {K::Action, "pSmsWriteSim", "pSmsWrite", 0, nullptr, 0, nullptr},
    {K::Action, "pSmsWritePhone", "pSmsWrite", 1, nullptr, 0, nullptr},
    {K::Separator, "N1", "menu_list_sms", 11, nullptr, 0, nullptr},
    {K::Action, "pSmsUndel", "menu_list_sms", 12, nullptr, 0, nullptr},
    {K::Action, "pSmsProperty", "menu_list_sms", 13, nullptr, 0, nullptr},

    // Items with tag 1 need the handset.
    {K::Popup, "menu_conttree", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "menu_readcont", "menu_conttree", 0, nullptr, 1, "download"},
    {K::Action, "menu_flash", "menu_conttree", 1, nullptr, 1, "flash"},
    {K::Separator, "N80", "menu_conttree", 2, nullptr, 0, nullptr},
    {K::Action, "M_ContNew", "menu_conttree", 3, nullptr, 0, "new"},
    {K::Action, "m_ContClear", "menu_conttree", 4, nullptr, 0, nullptr},
    {K::Action, "menu_sendsmstogroup", "menu_conttree", 5, nullptr, 0, "send"},

    {K::Popup, "menu_contview", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "menu_addcont", "menu_contview", 0, nullptr, 0, "new"},
    {K::Action, "menu_editcont", "menu_contview", 1, nullptr, 0, "edit"},
    {K::Action, "menu_delcont", "menu_contview", 2, nullptr, 0, nullptr},
    {K::Separator, "N84", "menu_contview", 3, nullptr, 0, nullptr},
    {K::Action, "nCopy", "menu_contview", 4, nullptr, 0, nullptr},
    {K::Action, "nCut", "menu_contview", 5, nullptr, 0, nullptr},
    {K::Action, "nPaste", "menu_contview", 6, nullptr, 99, nullptr, false, false, true, false},
    {K::Action, "menu_selectallcont", "menu_contview", 7, nullptr, 0, nullptr},
    {K::Separator, "N85", "menu_contview", 8, nullptr, 0, nullptr},
    {K::Action, "menu_sendsmstocont", "menu_contview", 9, nullptr, 0, "send"},

    // The manager reaches nGrpDel and npClear as the third and fourth items.
    {K::Popup, "menu_treeuser", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "N10", "menu_treeuser", 0, nullptr, 0, "group"},
    {K::Action, "N9", "menu_treeuser", 1, nullptr, 0, "new"},
    {K::Action, "nGrpDel", "menu_treeuser", 2, nullptr, 0, nullptr},
    {K::Action, "npClear", "menu_treeuser", 3, nullptr, 0, nullptr},
    {K::Separator, "N11", "menu_treeuser", 4, nullptr, 0, nullptr},
    {K::Action, "nRename", "menu_treeuser", 5, nullptr, 0, nullptr},

    // npPaste is the seventh item.
    {K::Popup, "menu_userview", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "nNew", "menu_userview", 0, nullptr, 0, "new"},
    {K::Action, "nEdit", "menu_userview", 1, nullptr, 0, "edit"},
    {K::Action, "nDel", "menu_userview", 2, nullptr, 0, nullptr},
    {K::Action, "nSelA", "menu_userview", 3, nullptr, 0, nullptr},
    {K::Action, "npCut", "menu_userview", 4, nullptr, 0, nullptr},
    {K::Action, "npProperty", "menu_userview", 5, nullptr, 0, nullptr},
    {K::Action, "npPaste", "menu_userview", 6, nullptr, 0, nullptr, false, false, true, false},

    // The find direction; it drops down from the find buttons.
    {K::Popup, "PopupMenu1", nullptr, 0, nullptr, 0, nullptr},
    {K::Action, "m_Forward", "PopupMenu1", 0, nullptr, 0, nullptr, true, true},
    {K::Action, "m_Backward", "PopupMenu1", 1, nullptr, 0, nullptr, true, false},

    // --- tool bars: a button with tag 1 needs the handset, tag 0 works only without it ---
    {K::ToolBar, "ToolBar_sms", "cbsms", 0, nullptr, 0, nullptr},
    {K::Button, "button_linksms", "ToolBar_sms", 0, nullptr, 0, "connect"},
    {K::Button, "button_unlinksms", "ToolBar_sms", 1, nullptr, 1, "disconnect"},
    {K::Separator, "ToolButton1", "ToolBar_sms", 2, nullptr, 0, nullptr},
    {K::Button, "button_downloadsms", "ToolBar_sms", 3, nullptr, 1, "download"},
    {K::Button, "button_mewsms", "ToolBar_sms", 4, nullptr, 2, "new"},
    {K::Button, "button_sendsms", "ToolBar_sms", 5, nullptr, 1, "send"},
    {K::Button, "button_resendsms", "ToolBar_sms", 6, nullptr, 1, "resend"},
    {K::Button, "button_sendbacksms", "ToolBar_sms", 7, nullptr, 1, "reply"},
    {K::Separator, "ToolButton2", "ToolBar_sms", 8, nullptr, 0, nullptr},
    {K::Button, "tbSearch", "ToolBar_sms", 9, nullptr, 2, "find", false, false, true, true, "PopupMenu1"},
    {K::Button, "button_print", "ToolBar_sms", 10, nullptr, 2, "print"},
    {K::Button, "tbSet", "ToolBar_sms", 11, nullptr, 2, "settings"},
    {K::Button, "tbHelp", "ToolBar_sms", 12, nullptr, 2, "help"},

    {K::ToolBar, "ToolBar_cont", "cbCont", 0, nullptr, 0, nullptr},
    {K::Button, "button_linkcont", "ToolBar_cont", 0, nullptr, 0, "connect"},
    {K::Button, "button_disconn", "ToolBar_cont", 1, nullptr, 1, "disconnect"},
    {K::Separator, "ToolButton3", "ToolBar_cont", 2, nullptr, 0, nullptr},
    {K::Button, "button_loadcont", "ToolBar_cont", 3, nullptr, 1, "download"},
    {K::Button, "button_flash", "ToolBar_cont", 4, nullptr, 1, "flash"},
    {K::Button, "button_addcont", "ToolBar_cont", 5, nullptr, 2, "new"},
    {K::Separator, "ToolButton4", "ToolBar_cont", 6, nullptr, 0, nullptr},
    {K::Button, "button_load", "ToolBar_cont", 7, nullptr, 2, "open"},
    {K::Button, "button_savetofile", "ToolBar_cont", 8, nullptr, 2, "save"},
    {K::Button, "button_findcont", "ToolBar_cont", 9, nullptr, 2, "find", false, false, true, true, "PopupMenu1"},
    {K::Button, "tbPrint", "ToolBar_cont", 10, nullptr, 2, "print"},
    {K::Button, "tbSeta", "ToolBar_cont", 11, nullptr, 2, "settings"},
    {K::Button, "ToolButton10", "ToolBar_cont", 12, nullptr, 2, "help"},

    {K::ToolBar, "tbUser", "dbUser", 0, nullptr, 0, nullptr},
    {K::Button, "tbGrpAdd", "tbUser", 0, nullptr, 2, "group"},
    {K::Button, "tbPhAdd", "tbUser", 1, nullptr, 2, "new"},
    {K::Separator, "ToolButton5", "tbUser", 2, nullptr, 0, nullptr},
    {K::Button, "button_loaduser", "tbUser", 3, nullptr, 2, "open"},
    {K::Button, "ToolButton17", "tbUser", 4, nullptr, 2, "save"},
    {K::Separator, "ToolButton7", "tbUser", 5, nullptr, 0, nullptr},
    {K::Button, "ToolButton6", "tbUser", 6, nullptr, 2, "settings"},
    {K::Button, "ToolButton12", "tbUser", 7, nullptr, 2, "help"},
};

} // namespace

std::span<const MainItem> mainInventory()
{
    return kItems;
}

const MainItem *findMainItem(const char *name)
{
    for (const MainItem &i : kItems)
        if (std::strcmp(i.name, name) == 0)
            return &i;
    return nullptr;
}

} // namespace forms
