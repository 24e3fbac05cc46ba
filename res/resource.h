/*
 * Numeric identifiers of the installer's resources, controls and commands.
 * The dialog templates and the page picture are named by strings
 * (IDD_AGREEMENT, IDD_DIR, IDD_BROWSE, IDB_PELMAR) and so are not defined
 * here: defining them would turn their names into numbers.  The copy page,
 * the program-group page and the payload use 110, 210 to 215, 4445 and
 * 15734, which stay free here.
 */
#ifndef NOBRA_RESOURCE_H
#define NOBRA_RESOURCE_H

/* Strings. */
#define IDS_LICENCE 150
#define IDS_CLASSNAME 301

/* Icons: the window icon and the three folder-list icons. */
#define IDI_SETUP 200
#define IDI_FOLDER 201
#define IDI_UP 202
#define IDI_PRODUCT 203

/* Licence page. */
#define IDC_LICENCE_TEXT 151

/* Destination page. */
#define IDC_BROWSE 100
#define IDC_INSTALL_DIR 101

/* Folder browser. */
#define IDC_PATH_LINE 102
#define IDC_SPACE_LINE 103
#define IDC_DRIVE_BOX 104
#define IDC_FOLDER_NAME 105
#define IDC_FOLDER_LIST 107

/* Main window commands. */
#define ID_CLOSE_SETUP 300
#define ID_RUN_WIZARD 4444

#endif
