/* Resource ids of KV.exe: shared by the resource script and the code. */
#ifndef KV_RESOURCE_H
#define KV_RESOURCE_H

/* Dialog templates */
#define IDD_MAIN_PANEL 102
#define IDD_ABOUT 158
#define IDD_SELECT_DEVICE 304
#define IDD_USB_REMOVED 351
#define IDD_HARDWARE_INFO 136

/* Controls of the small dialogs */
#define IDC_DEVICE_LIST 1163
#define IDC_ABOUT_VERSION 1164
#define IDC_REMOVED_TEXT 1165
#define IDC_HARDWARE_TEXT 1091

/* Texts kept as resources of type "KVTXT" */
#define IDT_TROUBLESHOOTING 350

/* Icons and bitmaps */
#define IDI_APP 101
#define IDI_TOOL_FIRST 110 /* toolbar icons 110-134 in toolbar order */
#define IDI_BUSY_FIRST 140 /* busy animation 140-147 */
#define IDB_MARK_TRIGGER 233
#define IDB_MARK_CURSOR 234
#define IDB_MARK_BAR 235
#define IDB_LOGO 237
#define IDB_ARROW_SEL 349
#define IDB_SPLASH 331

/* Strings */
#define IDS_CAPTION 38
#define IDS_DEMO_MODE 48
#define IDS_HTML_HELP_FILE 55
#define IDS_WIN_HELP_FILE 56
#define IDS_ASK_EXIT 207
#define IDS_AUTO_SETTING_OK 215
#define IDS_UNTITLED 271
#define IDS_NO_OMBIX_DSO 297
#define IDS_NO_TEK_DSO 298
#define IDS_ENABLE_SAVE 900
#define IDS_DISABLE_SAVE 901
#define IDS_SECONDS 902
#define IDS_VERSION 903
#define IDS_ERROR 904
#define IDS_INFORMATION 905

/* Demo mode: the Demo dialog, its rows (function combo, frequency edit, unit button per group of
   eight channels) and the acquisition's texts */
#define IDD_DEMO 230
#define IDC_DEMO_FUNCTION_FIRST 500 /* 500-507 */
#define IDC_DEMO_FREQUENCY_FIRST 600 /* 600-607 */
#define IDC_DEMO_UNIT_FIRST 700 /* 700-707 */
#define IDC_DEMO_DEFAULT 1182
#define IDS_DEMO_OVER_LIMIT 223
#define IDS_CAPTURE_RUNNING 910
#define IDS_CAPTURE_STOP 911
#define IDS_DEMO_FUNCTION_FIRST 912 /* 912-919: the function names in combo order */

#endif
