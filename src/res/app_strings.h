// String tables of the desktop program: captions, menus, prompts and messages.
#pragma once

#include <iterator>

#include "res/resource.h"

constexpr const char* IDS_APP_TITLE = "CKVD Explorer"; // 57344
constexpr const char* IDS_IDLE_MESSAGE = "Ready";      // 57345
constexpr const char* IDS_DOC_STRING = "CKVD Explorer\n\nKVDApp\n\n\nKVDApp.Document\nKVDApp Document"; // 128
constexpr const char* IDS_PROFILE_KEY = "CkvdExplorer Settings";
constexpr const char* IDS_VERSION = "0.90";
constexpr const char* IDS_BUILD = "Oct.21 2002";

// One menu item of a menu resource; a null text is a separator.
struct MenuItemDef {
    const char* text;
    int command;
};
struct MenuDef {
    const char* title;
    const MenuItemDef* items;
    int count;
};

inline constexpr MenuItemDef kFileMenu[] = {{"Select Drive(&S)...", ID_SELECT_DRIVE},
                                            {"Open Disc &Image...", ID_OPEN_IMAGE},
                                            {"Open Catal&ogued Disc...", ID_OPEN_CATALOGUED},
                                            {"Save DiscInformation(&W)...", ID_SAVE_DISCINFO},
                                            {"Add to &Catalogue", ID_ADD_TO_CATALOGUE},
                                            {nullptr, ID_SEPARATOR},
                                            {"Save Disc Ima&ge...", ID_SAVE_DISC_IMAGE},
                                            {"&New Disc for Player...", ID_NEW_DISC},
                                            {"&Burn Disc Image...", ID_BURN_IMAGE},
                                            {nullptr, ID_SEPARATOR},
                                            {"Exit(&X)", ID_APP_EXIT}};
inline constexpr MenuItemDef kEditMenu[] = {{"&Find in Catalogue...", ID_FIND_IN_CATALOGUE}};
inline constexpr MenuItemDef kToolMenu[] = {
    {"Disc Information(&D)", ID_DISC_INFORMATION},
    {"Lumaset Algorithm(Level1) Simulation(&L)...", ID_LEVEL1_SIMULATION},
    {"&Verify Disc...", ID_VERIFY_DISC},
    {"&Player Check...", ID_PLAYER_CHECK}};
inline constexpr MenuItemDef kViewMenu[] = {{"ToolBar(&T)", ID_VIEW_TOOLBAR},
                                            {"Status Bar(&S)", ID_VIEW_STATUS_BAR},
                                            {nullptr, ID_SEPARATOR},
                                            {"Numbers in Base &10", ID_LBNSIZE_BASE10},
                                            {"Numbers in Base 1&6", ID_LBNSIZE_BASE16},
                                            {"Numbers in &MSF", ID_LBNSIZE_MSF}};
inline constexpr MenuItemDef kHelpMenu[] = {{"About(&A)...", ID_APP_ABOUT}};
inline constexpr MenuDef kMainMenu[] = {{"File(&F)", kFileMenu, int(std::size(kFileMenu))},
                                        {"Edit(&E)", kEditMenu, int(std::size(kEditMenu))},
                                        {"Tool(&T)", kToolMenu, int(std::size(kToolMenu))},
                                        {"View(&V)", kViewMenu, int(std::size(kViewMenu))},
                                        {"Help(&H)", kHelpMenu, int(std::size(kHelpMenu))}};

inline constexpr MenuItemDef kLbnSizeMenu[] = {{"LBN/Size (&10)", ID_LBNSIZE_BASE10},
                                               {"LBN/Size (&16)", ID_LBNSIZE_BASE16},
                                               {"LBN/Size (&MSF)", ID_LBNSIZE_MSF}};
inline constexpr MenuItemDef kFileContextMenu[] = {
    {"Tag &Information...", ID_TAG_INFORMATION}, {"Save to &Disc", ID_SAVE_TO_DISC}, {"&Play", ID_PLAY}};
// Added below them on a navigation file's row.
inline constexpr MenuItemDef kNavigationViewerItem = {"&Navigation File Viewer...", ID_NAVIGATION_VIEWER};

// Tool bar 163, left to right; 0 is a separator.
inline constexpr int kToolBarButtons[] = {ID_SELECT_DRIVE,   ID_OPEN_IMAGE,       ID_SAVE_DISCINFO,
                                          ID_SEPARATOR,      ID_DISC_INFORMATION, ID_SEPARATOR,
                                          ID_VIEW_LARGEICON, ID_VIEW_SMALLICON,   ID_VIEW_LIST,
                                          ID_VIEW_DETAILS,   ID_SEPARATOR,        ID_APP_ABOUT};

// The file dialog of Open Disc Image (Qt's filter syntax).
constexpr const char* IDS_IMAGE_FILTER =
    "Disc images (*.iso *.cue *.ccd *.nrg *.toc *.mds *.mdf *.bin *.img);;All files (*)";

// Status-bar prompt and tool tip of a command ("prompt\ntip"), or null when it has none.
inline const char* App_CommandPrompt(int command) {
    switch (command) {
    case ID_SELECT_DRIVE:
        return "Select Drive\nSelect Drive";
    case ID_OPEN_IMAGE:
        return "Open a disc image (.iso, .cue, .ccd, .nrg, .toc, .mds, raw .bin/.img) as a disc in a "
               "drive\nOpen Disc Image";
    case ID_DISC_INFORMATION:
        return "Disc Information\nDisc Information";
    case ID_NAVIGATION_VIEWER:
        return "Show the navigation file's header and tables\nNavigation File Viewer";
    case ID_LEVEL1_SIMULATION:
        return "Lumaset Algorithm(Level1) Simulation\nLumaset Algorithm(Level1) Simulation";
    case ID_VERIFY_DISC:
        return "Read every block of the disc and check its sectors: the damaged files and a sector "
               "map\nVerify Disc";
    case ID_PLAYER_CHECK:
        return "Check the disc against a CD player's limits: what will not play, and the order it plays "
               "in\nPlayer Check";
    case ID_ADD_TO_CATALOGUE:
        return "Add the disc to the disc catalogue (a disc already there is updated)\nAdd to Catalogue";
    case ID_SAVE_DISC_IMAGE:
        return "Copy the disc into an image file (.iso, or .cue with its .bin), with a map of what was read "
               "and a "
               "log with the hashes\nSave Disc Image";
    case ID_NEW_DISC:
        return "Make a disc image of a music folder that a CD player plays right: the plan first, then the "
               "image\nNew Disc for Player";
    case ID_BURN_IMAGE:
        return "Burn a disc image onto a CD (or into a file), read it back and compare it with the "
               "image\nBurn Disc Image";
    case ID_OPEN_CATALOGUED:
        return "Browse a disc of the catalogue without the disc: its tree and list as the catalogue keeps "
               "them\nOpen Catalogued Disc";
    case ID_FIND_IN_CATALOGUE:
        return "Find files of every catalogued disc by name, path or tag text\nFind in Catalogue";
    case ID_APP_EXIT:
        return "Exit\nExit";
    case ID_VIEW_TOOLBAR:
        return "Tool Bar ON/OFF\nTool Bar ON/OFF";
    case ID_VIEW_STATUS_BAR:
        return "Status Bar ON/OFF\nStatus Bar ON/OFF";
    case ID_VIEW_SMALLICON:
        return "Small Icon\nSmall Icon";
    case ID_VIEW_LARGEICON:
        return "Large Icon\nLarge Icon";
    case ID_VIEW_LIST:
        return "List\nList";
    case ID_VIEW_DETAILS:
        return "Detail\nDetail";
    case ID_TAG_INFORMATION:
        return "Tag Information";
    case ID_SAVE_TO_DISC:
        return "Save to Disc";
    case ID_PLAY:
        return "Play";
    case ID_LBNSIZE_BASE10:
        return "Base10";
    case ID_LBNSIZE_BASE16:
        return "Base16";
    case ID_LBNSIZE_MSF:
        return "Min,Sec,Frame";
    default:
        return nullptr;
    }
}

// Status bar indicators right of the message pane.
inline constexpr const char* kStatusIndicators[] = {"KANA", "CAP", "NUM", "SCRL"};

// Messages.
constexpr const char* IDS_NO_DISC = "No Disc";
constexpr const char* IDS_NOT_CDROM = "This Medium is Not CD-ROM";
constexpr const char* IDS_ISO_INIT_ERROR = "ISO9660 Manager Initialize Error\nFile %s Line %d Code %04X";
constexpr const char* IDS_ISO_ANALYZE_ERROR = "ISO9660 FileSystem Analyze Error\nFile %s Line %d Code %04X";
constexpr const char* IDS_SCAN_ERROR = "Scan Device Error\nFile %s Line %d Code %04X";
constexpr const char* IDS_SPINUP_ERROR = "SpinUp Error\nFile %s Line %d Code %04X";
constexpr const char* IDS_NOT_READY = "Drive Not Ready\nFile %s Line %d Code %04X";
