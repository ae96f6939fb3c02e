/* Resource ids of the command-set dialogs: shared by the resource scripts and the code. */
#ifndef KV_COMMAND_RESOURCES_H
#define KV_COMMAND_RESOURCES_H

#define IDD_COMMAND_SET 462
#define IDD_ADD_COMMAND 463
#define IDD_NEW_COMMAND_SET 464

/* Select Command Set */
#define IDC_CMS_SETS 2401
#define IDC_CMS_LIST 2402
#define IDC_CMS_ADD_SET 2403
#define IDC_CMS_DEL_SET 2404
#define IDC_CMS_ADD 2405
#define IDC_CMS_DEL 2406
#define IDC_CMS_UP 2407
#define IDC_CMS_DOWN 2408
#define IDC_CMS_SET_NAME 2409

/* Add Command */
#define IDC_CMD_NAME 2410
#define IDC_CMD_LABEL1 2411 /* label k: 2411 + 2k, its value 2412 + 2k */
#define IDC_CMD_VALUE1 2412
#define IDC_CMD_LABEL2 2413
#define IDC_CMD_VALUE2 2414
#define IDC_CMD_LABEL3 2415
#define IDC_CMD_VALUE3 2416
#define IDC_CMD_DESC 2417
#define IDC_CMD_SUB 2418

/* Texts without a number of their own */
#define IDS_CMS_COLUMN_NAME 2430 /* 2430-2433: Name, Condition, Description, Sub */
#define IDS_CMS_NONE 2434

#endif
