/* Resource ids of the trigger editors: shared by the resource scripts and the code. */
#ifndef KV_TRIGGER_RESOURCES_H
#define KV_TRIGGER_RESOURCES_H

#define IDD_CONFIGURE_TRIGGER 115
#define IDD_TRIGGER_METHOD 116
#define IDD_MULTI_LEVEL 300
#define IDD_MULTI_CONDITION 306

/* Configure Trigger */
#define IDC_CHANNEL_FIRST 1000 /* channel buttons 1000-1063 */
#define IDC_CHANNEL_NUMBER_FIRST 9000 /* channel numbers 9000-9063 */
#define IDC_LABEL_CLEAR 1064
#define IDC_LABEL_MODE 1065 /* ">>" / "<<" */
#define IDC_LABEL_VALUE 1069
#define IDC_PASS_SPIN 1085
#define IDC_PASS_COUNT 1086
#define IDC_WIDTH 1087
#define IDC_WIDTH_SPIN 1088
#define IDC_DELAY 1089
#define IDC_DELAY_SPIN 1090
#define IDC_LABEL_NAME_LIST 1107
#define IDC_LABEL_CONDITION 1108
#define IDC_LABEL_ADD 1109
#define IDC_LABEL_ROWS 1117
#define IDC_LABEL_RESULT 1118
#define IDC_LABEL_DELETE 3
#define IDC_PRE_TRIGGER 1167
#define IDC_TRIGGER_OK 1189
#define IDC_TRIGGER_CANCEL 1190
#define IDC_WIDTH_TEXT 1315
#define IDC_DELAY_TEXT 1316
#define IDC_WIDTH_LONGER 1319
#define IDC_WIDTH_SHORTER 1320
#define IDC_DELAY_GROUP 1322
#define IDC_WIDTH_GROUP 1323
#define IDC_LABEL_NAME_TEXT 1330 /* the label-mode captions */
#define IDC_LABEL_CONDITION_TEXT 1331
#define IDC_LABEL_VALUE_TEXT 1332
#define IDC_LABEL_RESULT_TEXT 1333
#define IDC_PASS_TEXT 1334

/* Popup items of a channel button: "0", "1", "X", "/", "\", "|" */
#define IDM_CONDITION_FIRST 3000

/* Trigger Method: one radio button per mode 0-9, and the help text */
#define IDC_METHOD_FIRST 1340
#define IDC_METHOD_HELP 1352

/* Multi-Level Trigger */
#define IDC_LEVEL_FIRST 1000 /* "Level 1".."Level 16": 1000-1015 */
#define IDC_LINK_FIRST 1100  /* links after levels 1-15: 1100-1114 */
#define IDC_CLEAR_ALL 1326

/* Multi-Condition Trigger */
#define IDC_CONDITION_1 1325
#define IDC_CONDITION_2 1699
#define IDC_CONDITION_3 1326
#define IDC_CONDITION_4 1700

/* Texts without a number of their own */
#define IDS_LINK_CONTINUOUS 1040
#define IDS_LINK_DISCONTINUOUS 1041
#define IDS_LINK_END 1042
#define IDS_LEVEL_N 1043 /* "Level %d" */
#define IDS_LABEL_COLUMN_NAME 1044
#define IDS_LABEL_COLUMN_CONDITION 1045
#define IDS_LABEL_COLUMN_DESCRIPTION 1046

#endif
