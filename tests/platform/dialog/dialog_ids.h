// Identifiers shared by the test templates and the tests.
#ifndef DIALOG_TEST_IDS_H
#define DIALOG_TEST_IDS_H

#define IDC_NAME 101
#define IDC_AGREE 102
#define IDC_BACK 103
#define IDC_BLACK 105
#define IDC_LABEL 106

#define IDC_EX_EDIT 301
#define IDC_EX_FLAT 302
#define IDC_EX_NOTES 303
#define IDC_EX_NARROW 304

#define IDC_LICENCE 401

#define IDC_MISSING 501

#define IDD_EX 300

#endif
