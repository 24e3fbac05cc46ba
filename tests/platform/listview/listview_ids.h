/* Identifiers shared by listview.rc and the tests. */
#define IDC_DRIVES 101
#define IDC_DIRS 102
#define IDC_SORTED 103
#define IDC_PLAIN 104
#define IDI_FOLDER 201
#define IDI_DRIVE 202
#define IDI_QUAD 203
