// Resource and command ids of the desktop program.
#pragma once

// Icons, in the order of the image lists.
constexpr int IDI_CDDRIVE = 133;
constexpr int IDI_CD = 134;
constexpr int IDI_FOLDER_CLOSED = 135;
constexpr int IDI_FOLDER_OPEN = 136;
constexpr int IDI_ERROR = 137;
constexpr int IDI_QUESTION = 138;
constexpr int IDI_WARNING = 139;
constexpr int IDI_INFO = 140;
constexpr int IDI_DOCUMENT = 160;
constexpr int IDR_MAINFRAME = 128; // menu, document template, application icon
constexpr int IDR_TOOLBAR = 163;

// Image list indexes.
constexpr int IMG_CDDRIVE = 0;
constexpr int IMG_CD = 1;
constexpr int IMG_FOLDER_CLOSED = 2;
constexpr int IMG_FOLDER_OPEN = 3;
constexpr int IMG_ERROR = 4;
constexpr int IMG_QUESTION = 5;
constexpr int IMG_WARNING = 6;
constexpr int IMG_INFO = 7;
constexpr int IMG_DOCUMENT = 8;
constexpr int IMG_COUNT = 9;

// Dialogs and context menus.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_DRIVE = 141;
constexpr int IDD_DISCINFO = 157;
constexpr int IDR_MENU_LBNSIZE = 175;
constexpr int IDR_MENU_FILE = 152;
constexpr int IDC_DRIVE_LIST = 1001;
constexpr int IDC_DISCINFO_LIST = 1002;
constexpr int IDC_VERSION = 1122;
constexpr int IDC_BUILD = 1123;

// Commands.
constexpr int ID_SELECT_DRIVE = 32771;
constexpr int ID_DISC_INFORMATION = 32776;
constexpr int ID_TAG_INFORMATION = 32780;
constexpr int ID_SAVE_TO_DISC = 32781;
constexpr int ID_PLAY = 32788;
constexpr int ID_LBNSIZE_BASE10 = 32789;
constexpr int ID_LBNSIZE_BASE16 = 32790;
constexpr int ID_LBNSIZE_MSF = 32791;
constexpr int ID_SAVE_DISCINFO = 32792;
constexpr int ID_LEVEL1_SIMULATION = 32793;
constexpr int ID_OPEN_IMAGE = 32794;
constexpr int ID_NAVIGATION_VIEWER = 32795; // the list's way to the navigation-file viewers
constexpr int ID_VERIFY_DISC = 32796;
constexpr int ID_PLAYER_CHECK = 32797;
constexpr int ID_ADD_TO_CATALOGUE = 32798;
constexpr int ID_FIND_IN_CATALOGUE = 32799;
constexpr int ID_SAVE_DISC_IMAGE = 32800;
constexpr int ID_OPEN_CATALOGUED = 32801;
constexpr int ID_NEW_DISC = 32802;
constexpr int ID_BURN_IMAGE = 32803;
constexpr int ID_FILE_MRU_FIRST = 57616; // the recent images, "Image1".."Image8" of the profile
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
constexpr int ID_VIEW_SMALLICON = 59408;
constexpr int ID_VIEW_LARGEICON = 59409;
constexpr int ID_VIEW_LIST = 59410;
constexpr int ID_VIEW_DETAILS = 59411;
constexpr int ID_VIEW_LINEUP = 59412;
constexpr int ID_VIEW_BYNAME = 59413;
constexpr int ID_SEPARATOR = 0;
