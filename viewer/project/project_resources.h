/* Resource ids of the project dialogs and the file and project menu: shared by the resource
   scripts and the code. */
#ifndef KV_PROJECT_RESOURCES_H
#define KV_PROJECT_RESOURCES_H

#define IDD_SAVE_PROJECT 129
#define IDD_LOAD_PROJECT 130
#define IDD_DELETE_PROJECT 131

/* The three dialogs share their controls. */
#define IDC_PROJECT_LIST 1101
#define IDC_PROJECT_NAME 1098
#define IDC_PROJECT_DELETE 3
#define IDC_PROJECT_OK 4

/* Strings of the dialogs (the numbers the messages have always had). */
#define IDS_NO_PROJECT_NAME 227
#define IDS_PROJECT_NAME_LONG 228
#define IDS_NO_DEFAULT_NAME 239
#define IDS_PROJECT_EXISTS 240
#define IDS_NO_PROJECT_NAME_LOAD 241
#define IDS_OVERWRITE_LABELS 242
#define IDS_OK_TO_LOAD 243
#define IDS_CANNOT_DELETE_DEFAULT 248
#define IDS_CANNOT_DELETE_NAME 249
#define IDS_PROJECT_NAME_CHARS 5200
#define IDS_NO_SUCH_PROJECT 5201

#endif
