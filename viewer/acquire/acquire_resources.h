/* Resource ids of acquisition with a board, its thresholds and sample modes: shared by the
   resource scripts and the code. */
#ifndef KV_ACQUIRE_RESOURCES_H
#define KV_ACQUIRE_RESOURCES_H

/* Configure Threshold (119) and Custom Threshold (145) */
#define IDD_CONFIGURE_THRESHOLD 119
#define IDD_CUSTOM_THRESHOLD 145
#define IDC_POD_LIST_A 1071
#define IDC_POD_LIST_B 1072
#define IDC_POD_LIST_C 1077
#define IDC_POD_LIST_D 1080
#define IDC_POD_LEVEL_A 1084 /* 1084-1087: the pods' level texts */
#define IDC_POD_CAPTION_A 1207
#define IDC_POD_CAPTION_B 1213
#define IDC_POD_CAPTION_C 1214
#define IDC_POD_CAPTION_D 1215
#define IDC_THRESHOLD_SLIDER 1425
#define IDC_THRESHOLD_CUSTOM 1138
#define IDC_CUSTOM_LIST 1135
#define IDC_CUSTOM_NAME 1136
#define IDC_CUSTOM_LEVEL 1139
#define IDC_CUSTOM_ADD 1
#define IDC_CUSTOM_EXIT 2
#define IDC_CUSTOM_DELETE 3

/* Configure Environment (135) and the rate-change warning (151) */
#define IDD_ENVIRONMENT 135
#define IDD_RATE_WARNING 151
#define IDC_WARNING_NO_MORE 1401
#define IDC_ENV_BACKGROUND 1119
#define IDC_ENV_GRID_TYPE 1120
#define IDC_ENV_GRID_COLOR 1121
#define IDC_ENV_GRID_SIZE 1122
#define IDC_ENV_MEMORY_STACK 1123
#define IDC_ENV_LANGUAGE 1127
#define IDC_ENV_WAVE_HEIGHT 1128
#define IDC_ENV_EXT_CLOCK 1327
#define IDC_ENV_DEPTH_BAR 1339
#define IDC_ENV_DEPTH 1340
#define IDC_ENV_SAMPLE_MODE 1377
#define IDC_ENV_DSO 1378

/* Strings */
#define IDS_CONFIGURATION 286
#define IDS_EXT_CLOCK_BELOW_ONE 292
#define IDS_CANNOT_SELECT 305
#define IDS_RATE_NOT_IN_MODE 306
#define IDS_COLOR_FIRST 6110     /* 6110-6125: the colour table's entries */
#define IDS_GRID_TYPE_FIRST 6126 /* 6126-6130: the grid line styles */
#define IDS_LANGUAGE_FIRST 6131  /* 6131-6133: English, Traditional and Simplified Chinese */
#define kColorNames 16
#define kGridTypes 5
#define IDS_THRESHOLD_LIST_FULL 6134 /* in place of 246, a text about group labels */
#define IDS_THRESHOLD_OVERWRITE 247
#define IDS_THRESHOLD_BUILTIN 248
#define IDS_THRESHOLD_NO_NAME 249
#define IDS_HARDWARE_BUSY 281
#define IDS_CAPTURE_OK 6100
#define IDS_FORCE_STOP 6101
#define IDS_POD_CAPTION_NANLYN 6102 /* 6102-6105: "Channel 0-17" ... "Channel 54-71" */
#define IDS_POD_CAPTION_16 6106     /* 6106-6109: "Channel 0-7" ... "Channel 24-31" */

#endif
