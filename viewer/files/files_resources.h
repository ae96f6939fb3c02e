/* Resource ids of the waveform-file dialogs and texts: shared by the resource scripts and the code. */
#ifndef KV_FILES_RESOURCES_H
#define KV_FILES_RESOURCES_H

#define IDD_SAVE_WAVE 290
#define IDC_SAVE_FORMAT 1291
#define IDC_SAVE_RANGE 1292
#define IDC_SAVE_START 1293
#define IDC_SAVE_END 1295
#define IDC_SAVE_CHANNEL 1297
#define IDC_SAVE_BROWSE 1298
#define IDC_SAVE_FILE 1299

#define IDS_LOAD_WITH_LABELS 231
#define IDS_LOAD_SURE 232
#define IDS_CREATE_FILE_ERROR 233
#define IDS_NO_FILE_NAME 274
#define IDS_OVERWRITE 275
#define IDS_QG_CHANNELS 277
#define IDS_MEMORY 279
#define IDS_LENGTH_ZERO 280
#define IDS_FILE_CANT_OPEN 312
#define IDS_FILE_READ_ERROR 318
#define IDS_FILE_FORMAT_ERROR 319
#define IDS_UPGRADE 320
#define IDS_OTHER_DEVICE 328
#define IDS_NO_KVW10 330

/* Texts of the dialog's lists and the file dialogs' filters. */
#define IDS_SAVE_FORMAT_FIRST 5100 /* the five formats, 5100-5104 */
#define IDS_BUFFER_HEAD 5105
#define IDS_BUFFER_TAIL 5106
#define IDS_ALL_CHANNEL 5107
#define IDS_SELECTED_CHANNEL 5108
#define IDS_FILTER_KVW 5109
#define IDS_FILTER_QGW 5110
#define IDS_FILTER_TEXT 5111
#define IDS_FILTER_ALL 5112
#define IDS_TMP_CAPTION 5113

#endif
